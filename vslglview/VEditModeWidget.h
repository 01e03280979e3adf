#pragma once
#include <QObject>
#include <QVariantList>

// Turns the layout bar's move / rotate / scale choice into the EditList
// [6, 3, mode].
class VEditModeWidget : public QObject {
    Q_OBJECT
public:
    explicit VEditModeWidget(QObject* parent = nullptr);
    // 0 move, 1 rotate, 2 scale; anything else sends nothing.
    void layoutBarClicked(int index);

public slots:
    void slot_EmitEditMode(int groupID);

signals:
    void signal_SendEditMode(QVariantList editList);
};
