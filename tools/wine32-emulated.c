/*
 * Preloaded into Wine's 32-bit loader when it runs under qemu-i386-static
 * (tools/wine32-emulated.sh builds it with clang, without any headers of
 * the 32-bit C library).
 *
 * On x86 each thread's C library data is reached through %gs, and Wine's
 * Windows thread data (the TEB) through %fs. Both normally come from a
 * thread-local slot of the GDT, which the kernel switches with the thread;
 * qemu keeps a single GDT for all threads, so a segment register loaded
 * again from such a slot gets the base of whichever thread last set it.
 * Wine loads %gs and %fs again on every system call and signal, so under
 * qemu its threads soon run on each other's data and crash. Here every
 * thread gets slots of its own in the LDT instead:
 *  - %gs is moved to an LDT entry with the same base, in the main thread
 *    before Wine starts and in each new thread before its start routine;
 *  - Wine's request for a GDT slot for %fs is refused, so Wine gives each
 *    thread an LDT entry of its own (from entry 512 on, as it does whenever
 *    %gs is in the LDT: the entries below are ours).
 */

typedef unsigned long pthread_t;
typedef unsigned int pthread_key_t;
typedef struct pthread_attr pthread_attr_t;

extern void *dlsym(void *handle, const char *name);
extern int *__errno_location(void);
extern void *malloc(unsigned int size);
extern void free(void *block);
extern int pthread_key_create(pthread_key_t *key, void (*destructor)(void *));
extern int pthread_setspecific(pthread_key_t key, const void *value);
extern int unsetenv(const char *name);

#define RTLD_NEXT ((void *)-1l)
#define SYS_modify_ldt 123
#define SYS_set_thread_area 243
#define ENOSYS 38
#define EAGAIN 11

#define FIRST_ENTRY 1
#define LAST_ENTRY 511

struct user_desc {
    unsigned int entry_number;
    unsigned int base_addr;
    unsigned int limit;
    unsigned int flags;  /* seg_32bit, contents (2), read_exec_only, limit_in_pages, seg_not_present, useable */
};

static unsigned char entry_used[LAST_ENTRY + 1];
static int next_entry = FIRST_ENTRY;
static int entry_lock;

/* Entries are handed out round-robin, so one a dying thread still holds is
 * not written again soon after it gave it back. */
static int take_entry(void)
{
    int entry = 0;
    while (__sync_lock_test_and_set(&entry_lock, 1)) {
    }
    for (int tried = FIRST_ENTRY; tried <= LAST_ENTRY && !entry; tried++) {
        const int candidate = next_entry;
        next_entry = candidate == LAST_ENTRY ? FIRST_ENTRY : candidate + 1;
        if (!entry_used[candidate]) {
            entry_used[candidate] = 1;
            entry = candidate;
        }
    }
    __sync_lock_release(&entry_lock);
    return entry;
}

static void give_back_entry(void *entry)
{
    __sync_lock_test_and_set(&entry_used[(int)(long)entry], 0);
}

static int modify_ldt(int function, void *data, unsigned int size)
{
    int result;
    __asm__ volatile("int $0x80" : "=a"(result) : "0"(SYS_modify_ldt), "b"(function), "c"(data), "d"(size)
                     : "memory");
    return result;
}

static int set_thread_area(struct user_desc *desc)
{
    int result;
    __asm__ volatile("int $0x80" : "=a"(result) : "0"(SYS_set_thread_area), "b"(desc) : "memory");
    return result;
}

static unsigned short get_gs(void)
{
    unsigned short selector;
    __asm__ volatile("movw %%gs,%0" : "=r"(selector));
    return selector;
}

static void set_gs(unsigned short selector)
{
    __asm__ volatile("movw %0,%%gs" : : "r"(selector));
}

static unsigned int gs_base(void)
{
    unsigned int base;
    __asm__ volatile("movl %%gs:0,%0" : "=r"(base));  /* the thread control block points to itself */
    return base;
}

/* Moves %gs to an LDT entry with the base it has now; returns the entry,
 * or 0 when %gs stays as it was. */
static int move_gs_to_ldt(void)
{
    const int entry = take_entry();
    if (!entry) return 0;
    struct user_desc desc = {entry, gs_base(), 0xfffff, 0x51};  /* 32-bit, limit in pages, useable */
    if (modify_ldt(0x11, &desc, sizeof desc) != 0) {
        give_back_entry((void *)(long)entry);
        return 0;
    }
    set_gs((unsigned short)(entry << 3 | 7));  /* LDT, user level */
    return entry;
}

static pthread_key_t entry_key;
static unsigned short library_gs;  /* the C library's own slot, in the GDT */
static int create_lock;

__attribute__((constructor)) static void main_thread(void)
{
    unsetenv("LD_PRELOAD");  /* for Wine's 64-bit programs; wine-qemu sets it for each 32-bit one */
    library_gs = get_gs();
    pthread_key_create(&entry_key, give_back_entry);
    move_gs_to_ldt();
}

struct start {
    void *(*routine)(void *);
    void *argument;
};

static void *start_thread(void *data)
{
    struct start start = *(struct start *)data;
    free(data);
    const int entry = move_gs_to_ldt();
    if (entry) pthread_setspecific(entry_key, (void *)(long)entry);  /* given back when the thread ends */
    return start.routine(start.argument);
}

int pthread_create(pthread_t *thread, const pthread_attr_t *attributes, void *(*routine)(void *), void *argument)
{
    static int (*create)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
    if (!create) create = (int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *))dlsym(
                     RTLD_NEXT, "pthread_create");
    struct start *start = malloc(sizeof *start);
    if (!start) return EAGAIN;
    start->routine = routine;
    start->argument = argument;
    /* qemu gives the new thread the selector %gs has here, loaded again
     * after the new thread's C library data went into the GDT slot: so
     * meanwhile %gs is that slot, holding this thread's data. */
    const unsigned short own_gs = get_gs();
    struct user_desc desc = {library_gs >> 3, gs_base(), 0xfffff, 0x51};
    while (__sync_lock_test_and_set(&create_lock, 1)) {
    }
    set_thread_area(&desc);
    set_gs(library_gs);
    const int result = create(thread, attributes, start_thread, start);
    set_gs(own_gs);
    __sync_lock_release(&create_lock);
    if (result != 0) free(start);
    return result;
}

/* Wine asks for its GDT slot through syscall(); the C library's own calls
 * do not come here. */
long syscall(long number, long a, long b, long c, long d, long e, long f)
{
    static long (*call)(long, ...);
    if (number == SYS_set_thread_area) {
        *__errno_location() = ENOSYS;
        return -1;
    }
    if (!call) call = (long (*)(long, ...))dlsym(RTLD_NEXT, "syscall");
    return call(number, a, b, c, d, e, f);
}
