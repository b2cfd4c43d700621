// Start-up: the command line read option by option into the run settings,
// the help texts, the defaults and the opening of the input.
#pragma once

// The usage text's format: program name, then the version banner.
extern const char usage_format[];
// The map-file syntax text of -!.
extern const char mapfile_syntax_text[];

// Reads every option into the settings; returns after the file argument.
// Ends the program for -t, -!, a sole --help or --version and every
// malformed command line.
void read_command_line(int argc, char** argv, const char* program_name);
// Everything from start-up to the listing: program name, options, defaults,
// input, object loader, start-up seek, HTML pre-pass. -t, -!, --help,
// --version and every command-line error end the program here.
void start_run(int argc, char** argv);

// Back to the state at program start: the program name that start_run made
// is released (for tests).
void reset_command_line();
