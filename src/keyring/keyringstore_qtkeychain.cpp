#include "keyring/keyringstore.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>
#include <QTimer>

#include <memory>

namespace tabulon::keyring {
namespace {

struct JobAnswer {
    bool answered = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorText;
    QString data;
};

// Jobs delete themselves once finished, so one that outlives the wait
// cleans up after itself when the keyring finally answers.
JobAnswer Run(QKeychain::Job *job, std::chrono::milliseconds patience)
{
    auto answer = std::make_shared<JobAnswer>();
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [answer, &loop](QKeychain::Job *done) {
        answer->answered = true;
        answer->error = done->error();
        answer->errorText = done->errorString();
        if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(done))
            answer->data = read->textData();
        loop.quit();
    });
    QTimer::singleShot(patience, &loop, &QEventLoop::quit);
    job->start();
    if (!answer->answered)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!answer->answered) {
        answer->error = QKeychain::OtherError;
        answer->errorText = QStringLiteral("it did not answer within %1 s").arg(patience.count() / 1000.0);
    }
    return *answer;
}

Answer Finish(const JobAnswer &a)
{
    if (a.error == QKeychain::EntryNotFound)
        return {Answer::Kind::NotFound, {}, a.errorText.toStdString()};
    if (a.error != QKeychain::NoError)
        return {Answer::Kind::Failed, {}, a.errorText.toStdString()};
    return {Answer::Kind::Done, a.data.toStdString(), {}};
}

} // namespace

Answer Read(const std::string &service, const std::string &key, std::chrono::milliseconds patience)
{
    auto *job = new QKeychain::ReadPasswordJob(QString::fromStdString(service));
    job->setKey(QString::fromStdString(key));
    return Finish(Run(job, patience));
}

Answer Write(const std::string &service, const std::string &key, const std::string &password,
             std::chrono::milliseconds patience)
{
    auto *job = new QKeychain::WritePasswordJob(QString::fromStdString(service));
    job->setKey(QString::fromStdString(key));
    job->setTextData(QString::fromStdString(password));
    return Finish(Run(job, patience));
}

Answer Remove(const std::string &service, const std::string &key, std::chrono::milliseconds patience)
{
    auto *job = new QKeychain::DeletePasswordJob(QString::fromStdString(service));
    job->setKey(QString::fromStdString(key));
    return Finish(Run(job, patience));
}

} // namespace tabulon::keyring
