#pragma once

#include "DrillState.h"

#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStyle;
class SoundOutput;
class TickSource;
class WaveList;

// The drill's one window: five problems side by side, the time labels and four buttons.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    [[nodiscard]] const DrillState &drill() const { return state; }

public slots:
    void FormCreate();
    void FormDestroy();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void DXTimer1Timer();

protected:
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    struct ProblemColumn {
        QLineEdit *sign;
        QProgressBar *rule;
        QLineEdit *multiplicand;
        QLineEdit *multiplier;
        QLineEdit *answer;
        QLabel *rightMark;
        QLabel *wrongMark;
    };

    void QuestionCreate();
    void StartMessageShow();
    void GameStart();
    void AnswerCheck();
    void ImageDelete();

    // Every handler runs through here: an escaping error ends the handler and is shown in an
    // error box, and the program carries on in the state reached.
    void guarded(void (TForm1::*handler)());

    void createControls();
    [[nodiscard]] QLabel *createLabel(const char *name, QPoint topLeft, const QString &text);
    [[nodiscard]] QPushButton *createButton(const char *name, QRect geometry, const QString &caption,
                                            int pixelSize, bool bold);
    [[nodiscard]] QLineEdit *createEdit(const QString &name, QRect geometry,
                                        const QString &accessibleName);
    void setLabelText(QLabel *label, const QString &text);
    void hideButton(QPushButton *button);
    void fitOuterSize();

    DrillState state;
    std::array<ProblemColumn, 5> columns{};
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *Button4 = nullptr;
    TickSource *DXTimer1 = nullptr;
    SoundOutput *DXSound1 = nullptr;
    WaveList *DXWaveList1 = nullptr;
    QStyle *editStyle = nullptr;
    bool outerSizeFitted = false;
};
