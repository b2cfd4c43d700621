#include "html/page_set.h"

page_set pages{};

void html_prepass() {}
void html_page_switch(uint32_t) {}
void html_close_pages() {}
bool html_page_of(uint32_t, uint32_t*) { return false; }
