/* The miniaudio implementation, compiled once for the whole program. */
#define MINIAUDIO_IMPLEMENTATION
#include <miniaudio.h>
