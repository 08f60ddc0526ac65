#pragma once

#include <QObject>
#include <QPointer>
#include <QUuid>

class AppViewModel;

// Receives the colour dialog's final colour and stores it on one tag as its custom colour.
class ColorPickerHelper : public QObject {
    Q_OBJECT

public:
    ColorPickerHelper(const QUuid& tagID, AppViewModel& model, QObject* parent);

    void colorChanged(const QColor& color);

private:
    QUuid m_tagID;
    QPointer<AppViewModel> m_model;
};
