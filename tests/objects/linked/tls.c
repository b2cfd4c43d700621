/* Thread-local variables, reached in every access model that the compilers
   emit: make.sh compiles this file -fPIC for the dynamic models and initial
   exec, non-PIC for local exec. */

__thread int counter = 5;
__thread char name[12] = "pelorin";
static __thread int seen;
static __thread short marks[6];

int bump(int n) {
    counter += n;
    ++seen;
    marks[4] = (short)n;
    return counter + seen + marks[1];
}

char* label(void) { return &name[3]; }

/* A variable of another object. PIC code reaches it through a GOT slot that
   the linker's layout and -E's make differently: make.sh asks for it in the
   non-PIC objects only. */
#ifdef OTHER_OBJECT
extern __thread int shared;

int peek(void) { return shared + 2; }
#endif
