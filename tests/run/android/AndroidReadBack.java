import com.android.vcard.*;
import java.io.*;
import java.util.*;
// Prints each property as Android's vCard parser hands it to the contact importer:
// "NAME;PARAM=v,v<TAB>value|value" per line, "#card" before each card; bytes as their SHA-1.
public class AndroidReadBack {
  public static void main(String[] args) throws Exception {
    byte[] data = java.nio.file.Files.readAllBytes(new File(args[1]).toPath());
    VCardParser parser = args[0].equals("4.0") ? new VCardParser_V40() : args[0].equals("3.0") ? new VCardParser_V30() : new VCardParser_V21();
    PrintStream out = new PrintStream(new FileOutputStream(FileDescriptor.out), true, "UTF-8");
    parser.addInterpreter(new VCardInterpreter() {
      public void onVCardStarted() {} public void onVCardEnded() {}
      public void onEntryStarted() { out.println("#card"); } public void onEntryEnded() {}
      public void onPropertyCreated(VCardProperty p) {
        StringBuilder head = new StringBuilder(p.getName());
        for (Map.Entry<String, Collection<String>> e : new TreeMap<>(p.getParameterMap()).entrySet())
          head.append(';').append(e.getKey()).append('=').append(String.join(",", new TreeSet<>(e.getValue())));
        String value;
        if (p.getByteValue() != null) {
          try { value = "bytes:" + String.format("%040x", new java.math.BigInteger(1, java.security.MessageDigest.getInstance("SHA-1").digest(p.getByteValue()))); }
          catch (Exception ex) { value = "bytes"; }
        } else {
          value = p.getValueList() == null ? "" : String.join("|", p.getValueList());
        }
        out.println(head + "\t" + value.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n"));
      }
    });
    parser.parse(new ByteArrayInputStream(data));
  }
}
