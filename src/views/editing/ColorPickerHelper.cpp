#include "views/editing/ColorPickerHelper.h"

#include "model/TagColors.h"
#include "state/AppViewModel.h"

#include <QTimer>

ColorPickerHelper::ColorPickerHelper(const QUuid& tagID, AppViewModel& model, QObject* parent)
    : QObject(parent), m_tagID(tagID), m_model(&model) {}

void ColorPickerHelper::colorChanged(const QColor& color) {
    const QString hex = TagColors::hexFromColor(color);
    // Stored after the dialog's own handling has returned.
    QTimer::singleShot(0, m_model.data(), [model = m_model, hex, id = m_tagID] {
        if (model) {
            model->setCustomColorHex(hex, id);
        }
    });
}
