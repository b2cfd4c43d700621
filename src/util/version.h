// The version banner of the usage text and the HTML pages.
#pragma once

// The platform label, " / ", and the build date ("Linux x86_32 / Sep  9 2016").
const char* version_banner();
