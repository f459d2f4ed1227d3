// The records' table layout, shared by the SQLite file and the PostgreSQL server so both
// keep the same schema: the searchable fields as columns, what each step asked for and
// read back, and each step's result, as JSON arrays.
#pragma once

#include <string>
#include <vector>

#include "production/unit_record.h"

namespace quillon::production {

// Column names after id, in order (uuid first).
const std::vector<std::string>& RecordColumnNames();
// "uuid, started, ..." for SQL statements.
std::string RecordColumnList();
// The record's values for those columns (numbers as text).
std::vector<std::string> RecordColumnValues(const UnitRecord& r);
// The record from the column values (id apart); false when the JSON columns are broken.
bool RecordFromColumnValues(const std::vector<std::string>& values, UnitRecord& r);

// The step and value lists as the JSON arrays the columns hold.
std::string StepListJson(const std::vector<StepRecord>& steps);
std::string ValueListJson(const std::vector<ValueRecord>& values);

// UTC now, "2026-03-01T09:15:02.123Z".
std::string UtcNowText();
// A random identifier (RFC 4122 version 4 form).
std::string NewUuid();

// What a crash leaves: a "running" record of a station process that is gone.
void MarkRecordInterrupted(UnitRecord& r);

}  // namespace quillon::production
