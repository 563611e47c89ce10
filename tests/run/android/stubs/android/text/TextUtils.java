package android.text;
public class TextUtils { public static boolean isEmpty(CharSequence s) { return s == null || s.length() == 0; } }
