#pragma once

#include "ui/common/messageboxes.h"

#include <string>
#include <vector>

namespace tabulon::test {

// The texts of the recorded boxes that carry `icon`, in the order shown.
inline std::vector<std::string> BoxTexts(const std::vector<BoxRequest> &boxes, QMessageBox::Icon icon)
{
    std::vector<std::string> out;
    for (const auto &b : boxes)
        if (b.icon == icon)
            out.push_back(b.text.toStdString());
    return out;
}

} // namespace tabulon::test
