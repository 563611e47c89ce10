package android.text;
public class SpannableStringBuilder implements Editable {
  private final StringBuilder b; public SpannableStringBuilder(CharSequence s) { b = new StringBuilder(s); }
  public String toString() { return b.toString(); }
  public int length() { return b.length(); } public char charAt(int i) { return b.charAt(i); }
  public CharSequence subSequence(int s, int e) { return b.subSequence(s, e); }
}
