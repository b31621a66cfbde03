#include "SidebarTestSupport.h"
