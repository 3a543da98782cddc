#include "nxmp/asn1_type.h"

#include <gtest/gtest.h>
