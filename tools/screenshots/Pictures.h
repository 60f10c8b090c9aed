// The pictures of the manual, in groups that share a window and its work.
#pragma once

#include "ShotSupport.h"

#include <QString>
#include <functional>
#include <vector>

namespace korvane::shots {

// Where the charts are: the shared folder (bench/cases) and the source tree (tests/data).
struct TSources {
    QString SharedDir;
    QString SourceDir;
};

struct TPictureGroup {
    std::vector<QString> Names;
    std::function<void(TPictureSet&, const TSources&)> Make;
};

// Every group, in the order they are made.
const std::vector<TPictureGroup>& PictureGroups();

} // namespace korvane::shots
