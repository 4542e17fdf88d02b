#include <syncmsg/msgmutex.h>
