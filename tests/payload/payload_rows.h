// The fields and texts of tests/payload/texts.jsonl, which every surface's tests share: one JSON
// object per line, the kind under "kind", the text its standard gives the fields under
// "payload", and the fields beside them (the payload layer's own cases, written by hand).
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "cli/json_object.h"

namespace qr::test {

struct PayloadRow {
    std::string kind, text;
    cli::JsonMembers fields;
};

inline std::vector<PayloadRow> PayloadRows() {
    std::vector<PayloadRow> rows;
    std::ifstream file(TESSERA_PAYLOAD_ROWS);
    for (std::string line; std::getline(file, line);) {
        cli::JsonMembers members;
        EXPECT_EQ(cli::ReadJsonObject(line, &members), "") << line;
        PayloadRow row;
        for (const auto& member : members) {
            if (member.first == "kind") {
                row.kind = member.second;
            } else if (member.first == "payload") {
                row.text = member.second;
            } else {
                row.fields.push_back(member);
            }
        }
        rows.push_back(row);
    }
    EXPECT_EQ(rows.size(), 24u) << "rows of " TESSERA_PAYLOAD_ROWS;
    return rows;
}

}  // namespace qr::test
