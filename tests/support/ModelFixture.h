#pragma once

#include "FakeServices.h"
#include "TestHome.h"
#include "state/AppViewModel.h"

#include <QString>

#include <memory>

// A view model on fake services over a temporary home, for the tests of the state and the
// views. Each test gets a fresh model and a fresh folder of files, which the fake query
// answers from by the files' real tags.
class ModelFixture {
public:
    virtual ~ModelFixture() = default;

protected:
    void createHome() { m_home = std::make_unique<TestHome>(); }
    void createModel();
    void destroyModel();

    QUuid add(const QString& name, std::optional<QUuid> parent = std::nullopt);
    // A file in this test's folder carrying exactly `tags` (none when empty).
    QString file(const QString& name, const QByteArray& tags = QByteArray());
    QByteArray tagsOf(const QString& path) const;
    // Waits until no file list is loading.
    void settle();

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakeServices> m_services;
    std::unique_ptr<AppViewModel> m_model;
    QString m_folder;

private:
    int m_run = 0;
};
