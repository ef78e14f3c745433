/*
 * Preloaded into 32-bit Wine when it runs under qemu-user (kernels without
 * 32-bit support). qemu 7 takes MAP_FIXED_NOREPLACE as a mere hint and maps
 * elsewhere when the address is taken; Wine then believes it reserved an area
 * it did not get, and fails to start. Here the flag gets the kernel's meaning
 * back: the mapping lands exactly at the address, or fails with EEXIST.
 * Built with -m32 -nostdlib; libc's symbols are found at run time.
 */
#define MAP_FIXED 0x10
#define MAP_FIXED_NOREPLACE 0x100000
#define MAP_FAILED ((void *)-1)
#define EEXIST 17
typedef void *(*Mmap64Fn)(void *, unsigned, int, int, int, long long);
typedef void *(*MmapFn)(void *, unsigned, int, int, int, long);
extern void *dlsym(void *, const char *);
extern int *__errno_location(void);
extern int munmap(void *, unsigned);
static void *Refuse(void *got, void *wanted, unsigned length) {
    if (got == MAP_FAILED || got == wanted) return got;
    munmap(got, length);
    *__errno_location() = EEXIST;
    return MAP_FAILED;
}
void *mmap64(void *addr, unsigned length, int prot, int flags, int fd, long long offset) {
    static Mmap64Fn real;
    if (!real) real = (Mmap64Fn)dlsym((void *)-1, "mmap64");
    if (!(flags & MAP_FIXED_NOREPLACE) || (flags & MAP_FIXED)) return real(addr, length, prot, flags, fd, offset);
    return Refuse(real(addr, length, prot, flags & ~MAP_FIXED_NOREPLACE, fd, offset), addr, length);
}
void *mmap(void *addr, unsigned length, int prot, int flags, int fd, long offset) {
    static MmapFn real;
    if (!real) real = (MmapFn)dlsym((void *)-1, "mmap");
    if (!(flags & MAP_FIXED_NOREPLACE) || (flags & MAP_FIXED)) return real(addr, length, prot, flags, fd, offset);
    return Refuse(real(addr, length, prot, flags & ~MAP_FIXED_NOREPLACE, fd, offset), addr, length);
}
