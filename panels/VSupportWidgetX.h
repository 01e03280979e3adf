#pragma once

#include <QVector>
#include <QWidget>

namespace Ui {
class VSupportWidgetX;
class VSupportWidgetEditX;
}

// Side panel of the support stage: density, attaching point, shaft diameter
// (never below the attaching point) and lift distance, sent as one vector.
class VSupportWidgetX : public QWidget
{
    Q_OBJECT
public:
    explicit VSupportWidgetX(QWidget* parent = nullptr);
    ~VSupportWidgetX() override;

    QVector<double> parameters() const;

signals:
    void sig_GenSupport(QVector<double> Para);
    void sig_EditSupport(bool Freeze, bool SaveResult, QVector<double> Para);
    void sig_RemoveSupport();

public slots:
    void slot_ModelSelected(bool Selected);

private slots:
    void on_horizontalSlider_valueChanged(int value);
    void on_doubleSpinBox_valueChanged(double arg1);
    void on_horizontalSlider_2_valueChanged(int value);
    void on_doubleSpinBox_2_valueChanged(double arg1);
    void on_horizontalSlider_3_valueChanged(int value);
    void on_doubleSpinBox_3_valueChanged(double arg1);
    void on_GenSptButton_clicked();
    void on_EditSptButton_clicked();
    void on_RmvSptButton_clicked();
    void on_DefaultButton_clicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_bGuard = false;
    Ui::VSupportWidgetX* ui;
};

// The bar that ends click editing of supports: Save or Cancel.
class VSupportWidgetEditX : public QWidget
{
    Q_OBJECT
public:
    explicit VSupportWidgetEditX(QWidget* parent = nullptr);
    ~VSupportWidgetEditX() override;

signals:
    void sig_EditSupport(bool Freeze, bool SaveResult, QVector<double> Para);

private slots:
    void on_SaveButton_clicked();
    void on_CancelButton_clicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Ui::VSupportWidgetEditX* ui;
};
