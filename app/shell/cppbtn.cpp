#include <app/shell/cppbtn.h>

void CCPPBtn::onClick()
{
    // The level-sensor dialog comes with the readings pages; until it exists
    // a click has nothing to open.
}
