#include "common/guardedsteps.h"

namespace tabulon {

std::string ApplicationErrorText(const std::string &description, ReportProject project, const std::string &location,
                                 int step)
{
    std::string text = description;
    text += "\r\n";
    text += project == ReportProject::Hestwick ? "in Hestwick2021/08/31." : "in Quorvex2021/08/31.";
    text += location;
    text += " at line ";
    text += std::to_string(step);
    text += "\r\r";
    text += "Please email screenshot of this message to ";
    text += kSupportEmail;
    return text;
}

} // namespace tabulon
