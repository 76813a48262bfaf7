#include "TForm1.h"

#include "Answers.h"
#include "Countdown.h"
#include "MessageBoxes.h"
#include "Problems.h"
#include "SoundOutput.h"
#include "SunkenEditStyle.h"
#include "TickSource.h"
#include "TimeLimitFile.h"

#include <QApplication>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <limits>

namespace {

const QString timeLimitFileName = u"Data.txt"_qs;
const QString popFace = u"富士ポップＰ"_qs;
const QString defaultFace = u"ＭＳ Ｐゴシック"_qs;

// Where the window opens on the screen, frame included.
constexpr QRect outerBounds{267, 166, 790, 406};

// Which control shows which part of each problem, column 1 (slot 1) to column 5.
struct ColumnNames {
    const char *sign;
    const char *rule;
    const char *multiplicand;
    const char *multiplier;
    const char *answer;
    const char *rightMark;
    const char *wrongMark;
};
constexpr std::array<ColumnNames, 5> columnMap{{
    {"Edit5", "ProgressBar1", "Edit1", "Edit2", "Edit3", "Image1", "Image2"},
    {"Edit4", "ProgressBar2", "Edit6", "Edit7", "Edit8", "Image3", "Image4"},
    {"Edit9", "ProgressBar3", "Edit10", "Edit11", "Edit12", "Image5", "Image6"},
    {"Edit13", "ProgressBar4", "Edit14", "Edit15", "Edit16", "Image7", "Image8"},
    {"Edit17", "ProgressBar5", "Edit18", "Edit19", "Edit20", "Image9", "Image10"},
}};

// Column 1's layout; column k is the same shifted right by 152 px per column. Number boxes
// take their height from the font, so only their tops and widths are fixed here.
constexpr int columnShift = 152;
constexpr QRect signBox{16, 104, 41, 0};
constexpr QRect multiplicandBox{72, 56, 57, 0};
constexpr QRect multiplierBox{96, 104, 33, 0};
constexpr QRect ruleLine{8, 152, 145, 1};
constexpr QRect answerBox{48, 160, 81, 0};
constexpr QRect markPlace{16, 168, 33, 33};

// The designed faces are Windows fonts; Debian's rounded and Gothic faces stand in for them.
void installFontSubstitutes()
{
    static const bool installed = [] {
        QFont::insertSubstitutions(popFace, {u"MotoyaLMaru"_qs, u"Noto Sans CJK JP"_qs});
        QFont::insertSubstitutions(defaultFace, {u"IPAPGothic"_qs, u"Noto Sans CJK JP"_qs});
        return true;
    }();
    Q_UNUSED(installed);
}

QFont popFont(int pixelSize, bool bold)
{
    QFont font(popFace);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// Read as XPM only: left to find the format itself, Qt loads every image plugin to ask each one.
QPixmap xpm(const QString &file)
{
    QImageReader reader(file, "XPM");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

// The marks are pixel art: enlarged here block for block, they are only ever shrunk on screen
// (exactly at device-pixel ratios 1, 2 and 4), never blurred by smooth enlarging.
QPixmap pixelArt(const QString &file)
{
    constexpr int factor = 4;
    QPixmap picture = xpm(file);
    picture = picture.scaled(picture.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    picture.setDevicePixelRatio(factor);
    return picture;
}

} // namespace

TForm1::TForm1(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(u"Form1"_qs);
    setWindowTitle(u"ケルノピ"_qs);
    installFontSubstitutes();
    QFont font(defaultFace);
    font.setPixelSize(12);
    setFont(font);
    // Until the frame is known (showEvent, moveEvent) the client area takes the outer size.
    move(outerBounds.topLeft());
    resize(outerBounds.size());
    // Windows paints a form in the button-face colour.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    setPalette(colours);
    // The application's icon also marks the message boxes, including those shown before the
    // window is.
    const QIcon icon(xpm(u":/pictures/icon.xpm"_qs));
    setWindowIcon(icon);
    QApplication::setWindowIcon(icon);
    // Shared by the twenty edit boxes; a widget does not own the style it is given.
    editStyle = new SunkenEditStyle;
    editStyle->setParent(this);
    createControls();
    for (auto [button, handler] : {std::pair{Button1, &TForm1::Button1Click},
                                   std::pair{Button2, &TForm1::Button2Click},
                                   std::pair{Button3, &TForm1::Button3Click},
                                   std::pair{Button4, &TForm1::Button4Click}}) {
        connect(button, &QPushButton::clicked, this, [this, handler] { guarded(handler); });
    }

    DXTimer1 = new TickSource(this);
    DXTimer1->setObjectName(u"DXTimer1"_qs);
    connect(DXTimer1, &TickSource::timer, this, [this] { guarded(&TForm1::DXTimer1Timer); });
    // Not guarded: a sound system that can't be used at all keeps the window from being created.
    DXSound1 = new SoundOutput(this);
    DXWaveList1 = new WaveList(DXSound1, this);

    guarded(&TForm1::FormCreate);
}

TForm1::~TForm1()
{
    guarded(&TForm1::FormDestroy);
    // The clips go before the device they play on.
    delete DXWaveList1;
    delete DXSound1;
}

void TForm1::createControls()
{
    Label1 = createLabel("Label1", {312, 16}, u"ケルノピ"_qs);
    Label2 = createLabel("Label2", {24, 296}, u"せいげん時間："_qs);
    Label3 = createLabel("Label3", {56, 328}, u"のこり時間："_qs);
    const QPixmap ring = pixelArt(u":/pictures/right.xpm"_qs);
    const QPixmap cross = pixelArt(u":/pictures/wrong.xpm"_qs);

    for (std::size_t k = 0; k < columns.size(); ++k) {
        const ColumnNames &names = columnMap[k];
        const int shift = columnShift * static_cast<int>(k);
        ProblemColumn &column = columns[k];
        // What a screen reader says for each box: its column and its part of the problem.
        const QString spoken = QString::number(k + 1) + u"列目 "_qs;

        // Created in keyboard focus order: sign, rule line, multiplicand, multiplier, answer.
        column.sign = createEdit(QString::fromLatin1(names.sign), signBox.translated(shift, 0),
                                 spoken + u"かける記号"_qs);
        column.sign->setText(u"×"_qs);

        column.rule = new QProgressBar(this);
        column.rule->setObjectName(QString::fromLatin1(names.rule));
        column.rule->setGeometry(ruleLine.translated(shift, 0));
        column.rule->setRange(0, 100);
        column.rule->setValue(0);
        column.rule->setTextVisible(false);
        column.rule->setFocusPolicy(Qt::NoFocus);
        // A bar one pixel high would draw next to nothing of its own: the rule is a plain line.
        column.rule->setStyleSheet(u"QProgressBar { border: none; background: palette(window-text); }"_qs);

        column.multiplicand = createEdit(QString::fromLatin1(names.multiplicand),
                                         multiplicandBox.translated(shift, 0),
                                         spoken + u"かけられる数"_qs);
        column.multiplier = createEdit(QString::fromLatin1(names.multiplier),
                                       multiplierBox.translated(shift, 0), spoken + u"かける数"_qs);
        column.answer = createEdit(QString::fromLatin1(names.answer), answerBox.translated(shift, 0),
                                   spoken + u"こたえ"_qs);

        for (auto [mark, name, picture] :
             {std::tuple{&column.rightMark, names.rightMark, &ring},
              std::tuple{&column.wrongMark, names.wrongMark, &cross}}) {
            *mark = new QLabel(this);
            (*mark)->setObjectName(QString::fromLatin1(name));
            (*mark)->setGeometry(markPlace.translated(shift, 0));
            (*mark)->setPixmap(*picture);
            (*mark)->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            (*mark)->hide();
        }
    }

    Button1 = createButton("Button1", {520, 280, 121, 41}, u"はじめる"_qs, 29, false);
    Button2 = createButton("Button2", {640, 280, 121, 41}, u"できた！"_qs, 27, true);
    Button3 = createButton("Button3", {520, 320, 121, 41}, u"もう一回"_qs, 24, true);
    Button4 = createButton("Button4", {640, 320, 121, 41}, u"おわる"_qs, 24, true);
    Button2->hide();
    Button3->hide();
    Button4->hide();
}

QLabel *TForm1::createLabel(const char *name, QPoint topLeft, const QString &text)
{
    auto *label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(popFont(24, true));
    label->move(topLeft);
    setLabelText(label, text);
    return label;
}

QPushButton *TForm1::createButton(const char *name, QRect geometry, const QString &caption,
                                  int pixelSize, bool bold)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(popFont(pixelSize, bold));
    button->setGeometry(geometry);
    return button;
}

QLineEdit *TForm1::createEdit(const QString &name, QRect geometry, const QString &accessibleName)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setAccessibleName(accessibleName);
    edit->setStyle(editStyle);
    edit->setFont(popFont(37, true));
    edit->setMaxLength(std::numeric_limits<int>::max());
    edit->setReadOnly(true);
    geometry.setHeight(edit->fontMetrics().height() + 8);
    edit->setGeometry(geometry);
    return edit;
}

// Labels grow to the right with their text; the left edge stays. One line of the font high,
// as designed (a label's own size hint adds a pixel of rounding).
void TForm1::setLabelText(QLabel *label, const QString &text)
{
    label->setText(text);
    const QFontMetrics metrics = label->fontMetrics();
    label->resize(metrics.horizontalAdvance(text), metrics.height());
}

// Hiding the focused button would pass the focus on to the next control; instead it falls
// back to the window, and the first Tab starts again at column 1.
void TForm1::hideButton(QPushButton *button)
{
    if (focusWidget() == button)
        setFocus();
    button->hide();
}

// The designed size is the outer one. The frame is known only once the window is framed (at
// once on some systems, after the window manager has moved it on others, never without one),
// and then the client area is made smaller by it, once.
void TForm1::fitOuterSize()
{
    const QSize frame = frameGeometry().size() - size();
    if (outerSizeFitted || frame.isNull())
        return;
    outerSizeFitted = true;
    resize(outerBounds.size() - frame);
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    fitOuterSize();
}

void TForm1::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    fitOuterSize();
}

void TForm1::guarded(void (TForm1::*handler)())
{
    try {
        (this->*handler)();
    } catch (const std::exception &error) {
        // The countdown stands still while the error is on screen.
        DXTimer1->suspend();
        showErrorBox(QString::fromUtf8(error.what()));
        DXTimer1->resume();
    }
}

void TForm1::FormCreate()
{
    seedRandomFromClock();
    state.TimeLimitList.emplace();
    *state.TimeLimitList = loadTimeLimitFile(timeLimitFileName);
    state.TimeLeft = readTimeLimit(*state.TimeLimitList);
}

void TForm1::FormDestroy()
{
    state.TimeLimitList.reset();
}

void TForm1::QuestionCreate()
{
    state.Slots = drawProblems(randomBelow);
    for (std::size_t k = 0; k < columns.size(); ++k)
        columns[k].multiplicand->setText(QString::number(state.Slots[k].Multiplicand));
    for (std::size_t k = 0; k < columns.size(); ++k)
        columns[k].multiplier->setText(QString::number(state.Slots[k].Multiplier));
}

void TForm1::StartMessageShow()
{
    ShowMessage(u"よーい……"_qs);
    ShowMessage(u"はじめ！"_qs);
}

void TForm1::GameStart()
{
    state.GameRunning = 1;
    hideButton(Button1);
    Button2->show();
    for (const ProblemColumn &column : columns)
        column.answer->setReadOnly(false);
    setLabelText(Label2, u"せいげん時間："_qs + QString::number(state.TimeLeft) + u"秒"_qs);
    setLabelText(Label3, u"のこり時間"_qs + QString::number(state.TimeLeft) + u"秒"_qs);
}

void TForm1::Button1Click()
{
    StartMessageShow();
    QuestionCreate();
    state.GameRunning = 1;
    GameStart();
}

void TForm1::Button3Click()
{
    state.CorrectCount = 0;
    ImageDelete();
    state.TimeLeft = readTimeLimit(*state.TimeLimitList);
    state.GameRunning = 0;
    StartMessageShow();
    QuestionCreate();
    GameStart();
    hideButton(Button3);
    hideButton(Button4);
    for (const ProblemColumn &column : columns)
        column.answer->clear();
}

void TForm1::ImageDelete()
{
    for (const ProblemColumn &column : columns) {
        column.rightMark->hide();
        column.wrongMark->hide();
    }
}

void TForm1::Button4Click()
{
    ShowMessage(u"かけ算は楽しいかい？"_qs);
    close();
}

void TForm1::DXTimer1Timer()
{
    if (state.GameRunning != 1)
        return;
    state.TimeLeft = oneSecondLess(state.TimeLeft);
    setLabelText(Label3, u"のこり時間："_qs + QString::number(state.TimeLeft) + u"秒"_qs);
    if (state.TimeLeft == 0) {
        state.GameRunning = 0;
        ShowMessage(u"じかんぎれ"_qs);
        AnswerCheck();
    }
}

void TForm1::Button2Click()
{
    AnswerCheck();
}

void TForm1::AnswerCheck()
{
    state.GameRunning = 0;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        if (isRightAnswer(columns[k].answer->text(), state.Slots[k].Product)) {
            ++state.CorrectCount;
            columns[k].rightMark->show();
        } else {
            columns[k].wrongMark->show();
        }
    }
    const GameResult result = resultFor(state.CorrectCount);
    DXWaveList1->play(result.clip);
    ShowMessage(QString::number(result.score) + u"点でした。"_qs);
    hideButton(Button2);
    Button3->show();
    Button4->show();
}
