#pragma once

#include "engine/run/runhost.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tabulon::test {

// A scripted main window: fields in memory, questions answered from a queue
// (default Yes), every box recorded in order.
class FakeHost : public RunHost {
public:
    struct Box {
        enum Kind { ApplicationError, Question, Information } kind;
        std::string text;
        std::string title;
    };

    std::string fields[7];         // [1]..[6] are Text1..Text6
    std::vector<int> fieldChanges; // field numbers, in order of change
    int check1Value = 0;
    bool option1Value = true;
    bool option2Value = false;
    bool rowByRowValue = false;
    bool verifyValuesValue = true;
    ColumnTypes columnTypesValue = ColumnTypes::Text;
    std::string codePageValue = "Auto";
    std::string journalPath; // empty: the run keeps no journal
    int compression = -1;    // the login's: 0 never, 1 always, -1 for far servers
    std::string sslMode = "PREFERRED";
    std::string sslCa;
    std::deque<bool> answers;         // answers to askYesNo, in order
    std::deque<Overwrite> overwrites; // answers to askOverwrite; none left: askYesNo's
    bool defaultAnswer = true;
    std::vector<Box> boxes;
    std::vector<double> progress;
    std::vector<std::string> captions;
    bool busy = false;
    int busyChanges = 0;
    int previewsShown = 0;
    std::function<void()> onPreview; // what the user does in the preview

    std::vector<std::string> errors() const { return textsOf(Box::ApplicationError); }
    std::vector<std::string> questions() const { return textsOf(Box::Question); }
    std::vector<std::string> informations() const { return textsOf(Box::Information); }

    void showApplicationError(const std::string &text) override
    {
        boxes.push_back({Box::ApplicationError, text, "Application Error"});
    }
    bool askYesNo(const std::string &text, const std::string &title) override
    {
        boxes.push_back({Box::Question, text, title});
        if (answers.empty())
            return defaultAnswer;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    Overwrite askOverwrite(const std::string &text, const std::string &title) override
    {
        if (overwrites.empty())
            return RunHost::askOverwrite(text, title);
        boxes.push_back({Box::Question, text, title});
        const Overwrite a = overwrites.front();
        overwrites.pop_front();
        return a;
    }
    void inform(const std::string &text, const std::string &title) override
    {
        boxes.push_back({Box::Information, text, title});
    }
    std::string fieldText(int n) const override { return fields[n]; }
    void setFieldText(int n, const std::string &text) override
    {
        if (fields[n] == text)
            return;
        fields[n] = text;
        fieldChanges.push_back(n);
    }
    RunOptions runOptions() const override
    {
        RunOptions o;
        o.login.server = fields[2];
        o.login.port = fields[3];
        o.login.user = fields[4];
        o.login.password = fields[5];
        o.login.database = fields[6];
        o.login.compression = compression;
        o.login.sslMode = sslMode;
        o.login.sslCa = sslCa;
        o.preview = check1Value == 1;
        o.previewEachFile = option1Value;
        o.previewEachTable = option2Value;
        o.rowByRow = rowByRowValue;
        o.verifyValues = verifyValuesValue;
        o.columnTypes = columnTypesValue;
        o.codePage = codePageValue;
        o.journalPath = journalPath;
        return o;
    }
    void setBusyPointer(bool b) override
    {
        busy = b;
        ++busyChanges;
    }
    void setProgress(double percent) override { progress.push_back(percent); }
    void setProgressCaption(const std::string &caption) override { captions.push_back(caption); }
    void showPreview() override
    {
        ++previewsShown;
        if (onPreview)
            onPreview();
    }
    void showRunReport(const RunReport &r) override
    {
        report = r;
        inform("Done.", {});
    }
    RunReport report; // the last run's

private:
    std::vector<std::string> textsOf(Box::Kind kind) const
    {
        std::vector<std::string> out;
        for (const auto &b : boxes)
            if (b.kind == kind)
                out.push_back(b.text);
        return out;
    }
};

} // namespace tabulon::test
