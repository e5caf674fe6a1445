/* A C program built against the installed package. */
#include <stdio.h>
#include <string.h>

#include "xr/xrkit.h"

int main(void) {
    size_t major = 0, minor = 0;
    XRS_Version_Info v;
    if (xrextver(NULL, &major, &minor) != 0 || major != 9 || minor != 1) return 1;
    xrvercn1(&v);
    if (strcmp(v.portdate, "V.04.00M0P10072020") != 0) return 2;
    puts("consumer ok");
    return 0;
}
