// The one application record of the process.
#include "app_context.h"

AppContext g_appContext;
