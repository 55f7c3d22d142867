// The uploader's steps: store (under the temporary name, or the target's), rename over the
// target, delete the temporary copy after a refused rename and then store directly or fail.
// Each step is started from the event that ends the one before; an error only marks the step,
// whose end event then decides.

#include "Uploader.h"

#include "ftp/Ftp.h"

using namespace ftp;

Uploader::Uploader(TMFtp &ftp, QObject *parent) : QObject(parent), m_ftp(ftp) {}

void Uploader::start(const Job &job)
{
    m_job = job;
    m_direct = job.temporaryPath.isEmpty();
    m_deleteFailed = false;
    m_failedStep = Step::Idle;
    store(storedName());
}

void Uploader::store(const QString &remoteName)
{
    setStep(Step::Storing);
    m_stepFailed = false;
    m_error = errUnspecified;
    m_errorText.clear();
    const bool outer = m_giving;
    m_giving = true;
    m_ftp.UploadFile(m_job.localFile, remoteName);
    m_giving = outer;
}

void Uploader::fail(Step step)
{
    setStep(Step::Idle);
    emit failed(step, m_error, m_errorText);
}

void Uploader::info(FtpInfo kind, const QString &text)
{
    if (!running())
        return;
    const bool over = kind == infoDisconnected;
    const bool refused = kind == infoBusy && m_giving;
    if (!over && !refused)
        return;
    if (!m_stepFailed) {
        m_stepFailed = true;
        m_error = errUnspecified;
        m_errorText = text;
    }
    // Cut off while the temporary copy was being deleted: it was the rename that failed.
    if (m_step == Step::Deleting)
        fail(Step::Renaming);
    else
        fail(m_step);
}

bool Uploader::error(FtpError kind, const QString &text)
{
    switch (m_step) {
    case Step::Idle:
        return false;
    case Step::Deleting:
        m_deleteFailed = true;
        return true;
    case Step::Storing:
    case Step::Renaming:
        if (!m_stepFailed) {
            m_stepFailed = true;
            m_error = kind;
            m_errorText = text;
        }
        return m_step == Step::Renaming;
    }
    return false;
}

bool Uploader::fileStored()
{
    if (m_step != Step::Storing)
        return false;
    if (m_stepFailed) {
        fail(Step::Storing);
        return false;
    }
    if (m_direct) {
        setStep(Step::Idle);
        emit done();
        return true;
    }
    setStep(Step::Renaming);
    m_stepFailed = false;
    const bool outer = m_giving;
    m_giving = true;
    m_ftp.RenameFile(m_job.temporaryPath, m_job.remotePath);
    m_giving = outer;
    return true;
}

void Uploader::fileRenamed()
{
    if (m_step != Step::Renaming)
        return;
    if (!m_stepFailed) {
        setStep(Step::Idle);
        emit done();
        return;
    }
    if (m_job.refusedRename == RefusedRename::Fail)
        m_failedStep = Step::Renaming;
    setStep(Step::Deleting);
    m_deleteFailed = false;
    emit renameRefused();
    if (m_step != Step::Deleting)
        return; // the signal's receiver ended the upload
    const bool outer = m_giving;
    m_giving = true;
    m_ftp.DeleteFile(m_job.temporaryPath);
    m_giving = outer;
}

void Uploader::fileDeleted()
{
    if (m_step != Step::Deleting)
        return;
    if (m_failedStep != Step::Idle) {
        fail(m_failedStep);
        return;
    }
    m_direct = true;
    store(m_job.remotePath);
}
