// The management-platform client library as the system uses it: the MIS
// connection, managed-object images and albums, events, ASN.1 values and
// types, object identifiers and their name registry, the process-wide lock,
// scheduling contexts, installation settings, the diagnostic stream and
// units of work (many changes as one transaction).
//
// This is the one place the system includes it from; linking another
// implementation means changing only these includes.
#pragma once

#include "nxmp/album.h"
#include "nxmp/asn1_type.h"
#include "nxmp/asn1_value.h"
#include "nxmp/callback.h"
#include "nxmp/current_event.h"
#include "nxmp/data_unit.h"
#include "nxmp/diag.h"
#include "nxmp/error.h"
#include "nxmp/hvi_lock.h"
#include "nxmp/image.h"
#include "nxmp/installation.h"
#include "nxmp/oid.h"
#include "nxmp/platform.h"
#include "nxmp/sched_context.h"
#include "nxmp/transaction.h"
