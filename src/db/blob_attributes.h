// The blob of ASN.1 attributes of an alarm table row: split into its
// identifiers and values, and one attribute's decoded text.
#pragma once

#include <string>
#include <string_view>

#include "db/blob_scratch.h"
#include "platform/alarm_database.h"
#include "platform/management_platform.h"

// Fills ids and values with the blob's attributes; a blob that is empty or
// does not decode leaves both empty.
void parse_blob_attributes(const NXDBBlob& blob, OidArray& ids, Asn1ValueArray& values);

// The decoded text of the first attribute whose short name is name; false
// when there is none. scratch is the caller's (one per reading thread).
bool blob_attribute_text(std::string_view name, const OidArray& ids, const Asn1ValueArray& values,
                         BlobScratch& scratch, std::string& out);
