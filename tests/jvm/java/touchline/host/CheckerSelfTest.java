package touchline.host;

import org.junit.jupiter.api.Test;

/** Breaks a JNI rule on purpose: the test runner must report the JNI checker's line. */
public final class CheckerSelfTest {
    private static native void misuse(Object target);

    @Test
    void misuseIsHeard() throws Exception {
        System.load(TestBed.built("misuse").toAbsolutePath().toString());
        misuse("any object");
        System.out.println("misuse done");
    }
}
