#include "Progress.h"

#include <io.h>
#include <stdio.h>

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
