package touchline.host;

/** Breaks a JNI rule on purpose: the test runner must report the JNI checker's line. */
public final class CheckerSelfTest {
    private static native void misuse(Object target);

    public static void main(String[] args) throws Exception {
        System.load(Tests.built("misuse").toAbsolutePath().toString());
        misuse("any object");
        System.out.println("misuse done");
    }
}
