// Object symbols, the global pointer area and the relocations.
#pragma once
