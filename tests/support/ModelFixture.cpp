#include "ModelFixture.h"

#include "TestTree.h"

#include <QDir>
#include <QtTest>

void ModelFixture::createModel() {
    m_folder = m_home->path(QString("run%1").arg(++m_run));
    QDir().mkpath(m_folder);
    m_services = std::make_unique<FakeServices>();
    m_services->query.autoAnswerFolder = m_folder;
    m_model = std::make_unique<AppViewModel>(m_services->services(), AppViewModel::Startup::Empty);
}

void ModelFixture::destroyModel() {
    m_model.reset();
    m_services.reset();
}

QUuid ModelFixture::add(const QString& name, std::optional<QUuid> parent) {
    return addTag(*m_model, name, parent);
}

QString ModelFixture::file(const QString& name, const QByteArray& tags) {
    return writeTaggedFile(*m_home, m_folder + "/" + name, tags);
}

QByteArray ModelFixture::tagsOf(const QString& path) const {
    char value[512] = {};
    const ssize_t length =
        getxattr(QFile::encodeName(path).constData(), "user.xdg.tags", value, sizeof value);
    return length > 0 ? QByteArray(value, length) : QByteArray();
}

void ModelFixture::settle() {
    QTRY_VERIFY(m_model->loadingTagIDs().isEmpty() && !m_model->isLoadingFiles());
}
