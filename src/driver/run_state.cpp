#include "driver/run_state.h"

#include <cstdio>

#include "driver/command_line.h"
#include "driver/listing_loop.h"
#include "html/call_targets.h"
#include "html/page_elements.h"
#include "html/page_set.h"
#include "listing/data_display.h"
#include "listing/instruction_text.h"
#include "listing/labels.h"
#include "listing/line_end.h"
#include "listing/recent_words.h"
#include "listing/references.h"
#include "object/dynamic_file.h"
#include "object/elf_executable.h"
#include "object/elf_loader.h"
#include "object/elf_map.h"
#include "object/image_file.h"
#include "object/linked_object.h"
#include "object/object_input.h"
#include "symbols/map_file.h"
#include "symbols/symbol_table.h"
#include "util/run_settings.h"
#include "util/zo.h"

void reset_run_state() {
    settings = run_settings{};
    settings.output = stdout;
    zo_reset_messages();
    zo_reset_files();
    zo_reset_clock();
    reset_symbol_table();
    reset_map_file();
    reset_elf_map();
    reset_object_input();
    reset_object_loader();
    reset_executable();
    reset_dynamic_file();
    reset_linked_object();
    reset_image_file();
    reset_page_set();
    reset_page_elements();
    reset_call_targets();
    reset_labels();
    reset_recent_words();
    reset_references();
    reset_decoder();
    reset_line_end();
    reset_data_display();
    reset_listing_state();
    reset_command_line();
}
