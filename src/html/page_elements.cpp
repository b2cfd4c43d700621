#include "html/page_elements.h"

#include "driver/run_settings.h"

bool html_output() { return settings.html_dir != nullptr; }
void html_anchor(uint32_t) {}
void html_page_head(const char*, const char*) {}
void html_page_tail() {}
void html_highlight(uint32_t) {}
