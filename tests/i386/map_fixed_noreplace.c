// Preloaded into every 32-bit program that qemu-i386 runs here: gives mmap the MAP_FIXED_NOREPLACE flag,
// which Debian's qemu 7.2 ignores (it maps somewhere else instead of failing). 32-bit Wine reserves its
// address space with that flag; seeing its mappings land elsewhere, it would probe all 4 GiB in 64 KiB steps,
// about a minute for every process.
//
// Built without the C library (gcc -m32 -nostdlib, so no 32-bit C library is needed to build it): system
// calls go through int $0x80, and errno is reached through the C library of the program it is loaded into.

#define SYSTEM_CALL_MUNMAP 91
#define SYSTEM_CALL_MMAP2 192
#define MAP_FIXED_NOREPLACE 0x100000
#define EEXIST 17
#define EINVAL 22
#define PAGE_SIZE 4096
#define MAP_FAILED ((void*)-1)

typedef __SIZE_TYPE__ size_t;

int* __errno_location(void);

static long SystemCall2(long number, long first, long second) {
    long result = number;
    __asm__ volatile("int $0x80" : "+a"(result) : "b"(first), "c"(second) : "memory");
    return result;
}

static long SystemCall6(long number, long first, long second, long third, long fourth, long fifth, long sixth) {
    // %ebp takes the sixth argument but may be the frame pointer: it is saved, and loaded (like %ebx, the
    // first) from memory reached through %ebx.
    long first_and_sixth[2] = {first, sixth};
    long* arguments = first_and_sixth;
    long result = number;
    __asm__ volatile(
        "push %%ebp\n\t"
        "mov 4(%%ebx), %%ebp\n\t"
        "mov (%%ebx), %%ebx\n\t"
        "int $0x80\n\t"
        "pop %%ebp"
        : "+a"(result), "+b"(arguments)
        : "c"(second), "d"(third), "S"(fourth), "D"(fifth)
        : "memory");
    return result;
}

static void* Failed(int error) {
    *__errno_location() = error;
    return MAP_FAILED;
}

void* mmap64(void* address, size_t length, int protection, int flags, int file, long long offset) {
    if (offset & (PAGE_SIZE - 1)) {
        return Failed(EINVAL);
    }
    // Without the flag the address is a hint, taken when it is free.
    const long result = SystemCall6(SYSTEM_CALL_MMAP2, (long)address, (long)length, protection,
                                    flags & ~MAP_FIXED_NOREPLACE, file, (long)(offset / PAGE_SIZE));
    if ((unsigned long)result > -4096UL) {
        return Failed((int)-result);
    }
    if ((flags & MAP_FIXED_NOREPLACE) && (void*)result != address) {
        SystemCall2(SYSTEM_CALL_MUNMAP, result, (long)length);
        return Failed(EEXIST);
    }
    return (void*)result;
}

void* mmap(void* address, size_t length, int protection, int flags, int file, long offset) {
    return mmap64(address, length, protection, flags, file, (unsigned long)offset);
}

// The programs this one starts must not inherit the preload: in a 64-bit one the dynamic loader complains
// of a wrong ELF class, and a 32-bit one gets it again from qemu-i386-binfmt.
__attribute__((constructor)) static void DropPreloadFromEnvironment(int argc, char** argv, char** environment) {
    (void)argc;
    (void)argv;
    static const char kName[] = "LD_PRELOAD=";
    char** kept = environment;
    for (char** entry = environment; *entry; ++entry) {
        size_t i = 0;
        while (kName[i] && (*entry)[i] == kName[i]) {
            ++i;
        }
        if (kName[i]) {
            *kept++ = *entry;
        }
    }
    *kept = 0;
}
