package touchline.host.match;

import java.util.Map;

/** The names of the system calls a robot's filter forbids, by their number on this machine. */
final class SystemCalls {
    private static final Map<Integer, String> X86_64 = Map.ofEntries(Map.entry(56, "clone"),
            Map.entry(57, "fork"), Map.entry(58, "vfork"), Map.entry(101, "ptrace"),
            Map.entry(155, "pivot_root"), Map.entry(159, "adjtimex"), Map.entry(161, "chroot"),
            Map.entry(163, "acct"), Map.entry(164, "settimeofday"), Map.entry(165, "mount"),
            Map.entry(166, "umount2"), Map.entry(167, "swapon"), Map.entry(168, "swapoff"),
            Map.entry(169, "reboot"), Map.entry(175, "init_module"),
            Map.entry(176, "delete_module"), Map.entry(227, "clock_settime"),
            Map.entry(246, "kexec_load"), Map.entry(272, "unshare"),
            Map.entry(305, "clock_adjtime"), Map.entry(308, "setns"),
            Map.entry(310, "process_vm_readv"), Map.entry(311, "process_vm_writev"),
            Map.entry(312, "kcmp"), Map.entry(313, "finit_module"),
            Map.entry(320, "kexec_file_load"), Map.entry(428, "open_tree"),
            Map.entry(429, "move_mount"), Map.entry(430, "fsopen"), Map.entry(431, "fsconfig"),
            Map.entry(432, "fsmount"), Map.entry(433, "fspick"), Map.entry(438, "pidfd_getfd"),
            Map.entry(442, "mount_setattr"));

    private SystemCalls() {}

    /** The call's name, or null when it is not one of them (or the machine is another kind). */
    static String name(int number) {
        String arch = System.getProperty("os.arch");
        return arch.equals("amd64") || arch.equals("x86_64") ? X86_64.get(number) : null;
    }
}
