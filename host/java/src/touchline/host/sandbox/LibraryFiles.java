package touchline.host.sandbox;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.channels.FileChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Set;

/**
 * The files a strategy library loads besides the system's: itself and the libraries it names
 * that its run paths ($ORIGIN included) find, and theirs in turn. Read from the ELF file's
 * dynamic section with every offset and size checked against the file, since the library may
 * be anyone's; a file that is not a 64-bit ELF library gives just itself.
 */
public final class LibraryFiles {
    private static final int MAX_FILES = 64;
    private static final int MAX_TABLE = 1 << 20;
    private static final int PT_LOAD = 1;
    private static final int PT_DYNAMIC = 2;
    private static final long DT_NEEDED = 1;
    private static final long DT_STRTAB = 5;
    private static final long DT_STRSZ = 10;
    private static final long DT_RPATH = 15;
    private static final long DT_RUNPATH = 29;

    private LibraryFiles() {}

    /** The library's own file (its real path) and the libraries it loads from beside it. */
    public static List<Path> of(Path library) {
        Set<Path> files = new LinkedHashSet<>();
        add(library, files, 0);
        return new ArrayList<>(files);
    }

    private static void add(Path library, Set<Path> files, int depth) {
        Path real;
        try {
            real = library.toRealPath();
        } catch (IOException e) {
            return;
        }
        if (!files.add(real) || depth > 8 || files.size() >= MAX_FILES) return;
        Dynamic dynamic;
        try {
            dynamic = read(real);
        } catch (IOException | RuntimeException e) {
            return;  // not an ELF library this host can load: its load error will say so
        }
        if (dynamic == null) return;
        for (String name : dynamic.needed) {
            Path found = name.contains("/") ? Path.of(name) : find(name, dynamic, real);
            if (found != null) add(found, files, depth + 1);
        }
    }

    private static Path find(String name, Dynamic dynamic, Path library) {
        String origin = library.getParent().toString();
        List<String> folders = new ArrayList<>();
        if (dynamic.runpath == null && dynamic.rpath != null) folders.add(dynamic.rpath);
        if (dynamic.runpath != null) folders.add(dynamic.runpath);
        for (String list : folders) {
            for (String folder : list.split(":")) {
                if (folder.isEmpty()) continue;
                folder = folder.replace("${ORIGIN}", origin).replace("$ORIGIN", origin);
                Path candidate = Path.of(folder).resolve(name);
                if (Files.isRegularFile(candidate)) return candidate;
            }
        }
        return null;  // a system library, already readable
    }

    private record Dynamic(List<String> needed, String rpath, String runpath) {}

    /** The entry points every strategy library exports. */
    private static final List<String> ENTRY_POINTS =
            List.of("adapterInit", "adapterRun", "adapterClearup");
    private static final int EM_X86_64 = 62;
    private static final int EM_AARCH64 = 183;
    private static final int ET_DYN = 3;
    private static final int SHT_DYNSYM = 11;

    /**
     * Why the file cannot be a strategy library this host can load, with a hint where one
     * helps; null when it looks like one (a 64-bit shared library for this machine that
     * exports the three entry points, as far as its section headers tell). Reads the file
     * without loading it.
     */
    public static String unfit(Path file) {
        try (FileChannel in = FileChannel.open(file)) {
            long size = in.size();
            if (size < 64) return "not a shared library";
            ByteBuffer header = bytes(in, 0, 64, size);
            if (header.get(0) == 'M' && header.get(1) == 'Z') {
                return "this is a " + windowsKind(in, header, size) + "Windows DLL; build the "
                        + "Linux library (lib...so) with touchline_add_strategy on Linux and "
                        + "play that";
            }
            if (header.getInt(0) != 0x464c457f) return "not a shared library (not an ELF file)";
            if (header.get(4) == 1) return "a 32-bit library; the host needs a 64-bit one";
            if (header.get(4) != 2 || header.get(5) != 1) return "not a 64-bit little-endian ELF";
            if ((header.getShort(16) & 0xffff) != ET_DYN) {
                return "not a shared library (an ELF file of another kind)";
            }
            int machine = header.getShort(18) & 0xffff;
            int own = System.getProperty("os.arch").equals("aarch64") ? EM_AARCH64 : EM_X86_64;
            if (machine != own) return "a library for another kind of machine";
            List<String> missing = missingEntryPoints(in, header, size);
            if (!missing.isEmpty()) {
                return "lacks the entry point" + (missing.size() > 1 ? "s " : " ")
                        + String.join(", ", missing) + " (is it built with "
                        + "touchline_add_strategy?)";
            }
            return null;
        } catch (IOException | RuntimeException e) {
            return "cannot be read as a library: " + (e.getMessage() == null ? e : e.getMessage());
        }
    }

    /** "32-bit " or "64-bit " for a Windows DLL built for x86, as its PE header says. */
    private static String windowsKind(FileChannel in, ByteBuffer header, long size) {
        try {
            ByteBuffer pe = bytes(in, header.getInt(0x3c) & 0xffffffffL, 6, size);
            if (pe.getInt(0) != 0x00004550) return "";
            int machine = pe.getShort(4) & 0xffff;
            return machine == 0x14c ? "32-bit " : machine == 0x8664 ? "64-bit " : "";
        } catch (IOException e) {
            return "";
        }
    }

    /**
     * The entry points missing from the dynamic symbol table; none when the file has no
     * section headers to tell (loading it will).
     */
    private static List<String> missingEntryPoints(FileChannel in, ByteBuffer header, long size)
            throws IOException {
        long shoff = header.getLong(40);
        int shentsize = header.getShort(58) & 0xffff;
        int shnum = header.getShort(60) & 0xffff;
        if (shoff == 0 || shnum == 0 || shentsize < 64) return List.of();
        ByteBuffer sections = bytes(in, shoff, (long) shentsize * shnum, size);
        List<String> missing = new ArrayList<>(ENTRY_POINTS);
        for (int i = 0; i < shnum; i++) {
            int at = i * shentsize;
            if (sections.getInt(at + 4) != SHT_DYNSYM) continue;
            long offset = sections.getLong(at + 24);
            long length = Math.min(sections.getLong(at + 32), MAX_TABLE);
            int link = sections.getInt(at + 40);
            if (link < 0 || link >= shnum) return List.of();
            int linkAt = link * shentsize;
            ByteBuffer names = bytes(in, sections.getLong(linkAt + 24),
                    Math.min(sections.getLong(linkAt + 32), MAX_TABLE), size);
            ByteBuffer symbols = bytes(in, offset, length / 24 * 24, size);
            for (int s = 0; s + 24 <= symbols.limit(); s += 24) {
                // Defined symbols only: an undefined one has section index 0.
                if ((symbols.getShort(s + 6) & 0xffff) == 0) continue;
                String name = string(names, symbols.getInt(s) & 0xffffffffL);
                if (name != null) missing.remove(name);
            }
            return missing;
        }
        return List.of();
    }

    private static Dynamic read(Path file) throws IOException {
        try (FileChannel in = FileChannel.open(file)) {
            long size = in.size();
            ByteBuffer header = bytes(in, 0, 64, size);
            if (header.getInt(0) != 0x464c457f || header.get(4) != 2 || header.get(5) != 1) {
                return null;  // not a 64-bit little-endian ELF file
            }
            long phoff = header.getLong(32);
            int phentsize = header.getShort(54) & 0xffff;
            int phnum = header.getShort(56) & 0xffff;
            if (phentsize < 56) return null;
            ByteBuffer programs = bytes(in, phoff, (long) phentsize * phnum, size);
            List<long[]> loads = new ArrayList<>();
            long dynOffset = -1;
            long dynSize = 0;
            for (int i = 0; i < phnum; i++) {
                int at = i * phentsize;
                int type = programs.getInt(at);
                if (type == PT_LOAD) {
                    loads.add(new long[] {programs.getLong(at + 16), programs.getLong(at + 8),
                            programs.getLong(at + 32)});
                } else if (type == PT_DYNAMIC) {
                    dynOffset = programs.getLong(at + 8);
                    dynSize = programs.getLong(at + 32);
                }
            }
            if (dynOffset < 0) return null;
            ByteBuffer entries = bytes(in, dynOffset, Math.min(dynSize, MAX_TABLE) / 16 * 16,
                    size);
            List<Long> needed = new ArrayList<>();
            long strtab = -1;
            long strsz = 0;
            long rpath = -1;
            long runpath = -1;
            for (int at = 0; at + 16 <= entries.limit(); at += 16) {
                long tag = entries.getLong(at);
                long value = entries.getLong(at + 8);
                if (tag == 0) break;
                if (tag == DT_NEEDED && needed.size() < MAX_FILES) needed.add(value);
                else if (tag == DT_STRTAB) strtab = value;
                else if (tag == DT_STRSZ) strsz = value;
                else if (tag == DT_RPATH) rpath = value;
                else if (tag == DT_RUNPATH) runpath = value;
            }
            long tableOffset = fileOffset(strtab, loads);
            if (tableOffset < 0 || strsz <= 0) return null;
            ByteBuffer table = bytes(in, tableOffset, Math.min(strsz, MAX_TABLE), size);
            List<String> names = new ArrayList<>();
            for (long offset : needed) {
                String name = string(table, offset);
                if (name != null && !name.isEmpty()) names.add(name);
            }
            return new Dynamic(names, string(table, rpath), string(table, runpath));
        }
    }

    /** The file offset of a virtual address, through the loaded segments; -1 if none has it. */
    private static long fileOffset(long address, List<long[]> loads) {
        for (long[] load : loads) {
            long vaddr = load[0];
            long offset = load[1];
            long filesz = load[2];
            if (address >= vaddr && address - vaddr < filesz) return offset + (address - vaddr);
        }
        return -1;
    }

    private static ByteBuffer bytes(FileChannel in, long offset, long length, long size)
            throws IOException {
        if (offset < 0 || length < 0 || length > MAX_TABLE || offset > size - length) {
            throw new IOException("out of the file");
        }
        ByteBuffer buffer = ByteBuffer.allocate((int) length).order(ByteOrder.LITTLE_ENDIAN);
        while (buffer.hasRemaining()) {
            if (in.read(buffer, offset + buffer.position()) < 0) throw new IOException("short");
        }
        return buffer.flip();
    }

    private static String string(ByteBuffer table, long offset) {
        if (offset < 0 || offset >= table.limit()) return null;
        int end = (int) offset;
        while (end < table.limit() && table.get(end) != 0) end++;
        byte[] bytes = new byte[end - (int) offset];
        table.get((int) offset, bytes);
        return new String(bytes, StandardCharsets.UTF_8);
    }
}
