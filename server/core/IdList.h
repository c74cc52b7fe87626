// IdList: a list of database ids packed into one blob, so that a machine's
// application list, or the machines of one application version, is one row
// instead of one row per entry.
//
// Each id is an unsigned LEB128 number (7 bits a byte, low bits first, the
// high bit set on every byte but the last), in list order, duplicates kept.
// Ids are the databases' generated keys: never negative. unpackIds refuses a
// blob that ends inside a number or holds a number longer than 64 bits. Pure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/Status.h"
#include "server/core/ServerErrors.h"

namespace quorvane {

void appendPackedId(std::string& blob, std::int64_t id);
std::string packIds(const std::vector<std::int64_t>& ids);
Expected<std::vector<std::int64_t>> unpackIds(std::string_view blob);

// Removes the first `id` of the packed list; false (blob unchanged) when the
// list does not hold it or cannot be read.
bool removePackedId(std::string& blob, std::int64_t id);

}  // namespace quorvane
