// Compiles the seam headers once on their own, so each stays self-contained.
#include "platform/alarm_database.h"
#include "platform/management_platform.h"
