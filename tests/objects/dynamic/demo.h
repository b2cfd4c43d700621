/* The library's interface: two functions and a counter it exports. */
extern int demo_counter;
extern const char *const demo_names[];
int demo_add(int a, int b);
void demo_greet(const char *who);
