package android.telephony;
public class PhoneNumberUtils { public static final int FORMAT_NANP = 1, FORMAT_JAPAN = 2;
  public static void formatNumber(android.text.Editable text, int type) {} }
