#include "driver/command_line.h"

const char usage_format[] = "";
const char mapfile_syntax_text[] = "";

const char* version_banner() { return ""; }
void read_command_line(int, char**, const char*) {}
void start_run(int, char**) {}
