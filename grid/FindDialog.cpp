#include "FindDialog.h"

#include "MessageSeam.h"
#include "Query.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>

namespace velmora {

namespace {

// The dialog is laid out in pixels at this resolution and scaled to the screen's.
constexpr double designDpi = 120.0;
constexpr int listRows = 17;
const QString allColumns = QStringLiteral("<All>");

} // namespace

FindDialog::FindDialog(const QString& programTitle, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_programTitle(programTitle)
{
    setObjectName(QStringLiteral("FindDialog"));
    setWindowTitle(QStringLiteral("Поиск"));
    createControls();
}

void FindDialog::createControls()
{
    const double scale = logicalDpiY() / designDpi;
    const auto scaled = [scale](int pixels) { return qRound(pixels * scale); };
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(scaled(13));
    setFont(font);
    setFixedSize(scaled(622), scaled(153));

    const auto label = [&](const QString& name, const QString& caption, int left, int top) {
        auto* created = new QLabel(caption, this);
        created->setObjectName(name);
        created->move(scaled(left), scaled(top));
        created->adjustSize();
        return created;
    };
    const auto place = [&](QWidget* control, const QString& name, int left, int top, int width,
                           int height) {
        control->setObjectName(name);
        control->setGeometry(scaled(left), scaled(top), scaled(width), scaled(height));
    };
    const auto comboBox = [&](const QString& name, int left, int top, int width) {
        auto* created = new QComboBox(this);
        place(created, name, left, top, width, 24);
        return created;
    };

    patternLabel = label(QStringLiteral("patternLabel"), QStringLiteral("&Образец:"), 12, 15);
    cbText = comboBox(QStringLiteral("cbText"), 108, 11, 389);
    cbText->setEditable(true);
    cbText->setInsertPolicy(QComboBox::NoInsert);   // a pattern joins the list when searched for
    cbText->setMaxVisibleItems(listRows);

    searchInLabel = label(QStringLiteral("searchInLabel"), QStringLiteral("&Поиск в:"), 12, 43);
    cbFindIn = comboBox(QStringLiteral("cbFindIn"), 108, 39, 237);
    cbFindIn->setMaxVisibleItems(listRows);

    matchTypeLabel = label(QStringLiteral("matchTypeLabel"), QStringLiteral("&Совпадение:"), 12, 71);
    cbMatchinType = comboBox(QStringLiteral("cbMatchinType"), 108, 68, 178);
    cbMatchinType->addItems({QStringLiteral("С любой части поля"), QStringLiteral("Поля целиком"),
                             QStringLiteral("С начала поля")});

    directionLabel = label(QStringLiteral("directionLabel"), QStringLiteral("Прос&мотр:"), 12, 101);
    cbFindDirection = comboBox(QStringLiteral("cbFindDirection"), 108, 97, 178);
    cbFindDirection->addItems({QStringLiteral("Вверх"), QStringLiteral("Вниз"), QStringLiteral("Все")});
    cbFindDirection->setCurrentIndex(int(FindDirection::All));

    cbCharCase = new QCheckBox(QStringLiteral("С учетом ре&гистра"), this);
    place(cbCharCase, QStringLiteral("cbCharCase"), 108, 129, 178, 17);
    cbUseFormat = new QCheckBox(QStringLiteral("С у&четом формата"), this);
    place(cbUseFormat, QStringLiteral("cbUseFormat"), 320, 129, 177, 17);
    cbUseFormat->setChecked(true);

    bFind = new QPushButton(QStringLiteral("На&йти далее"), this);
    place(bFind, QStringLiteral("bFind"), 508, 11, 101, 28);
    bCancel = new QPushButton(QStringLiteral("Закрыть"), this);
    place(bCancel, QStringLiteral("bCancel"), 508, 46, 101, 27);
    // Enter and Esc are the dialog's own keys (eventFilter), whichever control has the focus.
    bFind->setAutoDefault(false);
    bCancel->setAutoDefault(false);

    patternLabel->setBuddy(cbText);
    searchInLabel->setBuddy(cbFindIn);
    matchTypeLabel->setBuddy(cbMatchinType);
    directionLabel->setBuddy(cbFindDirection);
    const QList<QWidget*> tabOrder = {cbText, cbFindIn, cbMatchinType, cbFindDirection,
                                      cbCharCase, cbUseFormat, bFind, bCancel};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    // The dialog sees every key before its controls do.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    connect(cbText, &QComboBox::editTextChanged, this, &FindDialog::cbTextChange);
    connect(cbFindDirection, &QComboBox::currentIndexChanged, this, &FindDialog::cbTextChange);
    connect(cbFindIn, &QComboBox::currentIndexChanged, this, &FindDialog::cbFindInChange);
    connect(bFind, &QPushButton::clicked, this, &FindDialog::bFindClick);
    connect(bCancel, &QPushButton::clicked, this, &FindDialog::bCancelClick);
}

void FindDialog::openFor(SearchedGrid& grid, const QString& pattern)
{
    m_grid = &grid;
    {
        const QSignalBlocker patternBlocker(cbText);
        const QSignalBlocker columnBlocker(cbFindIn);
        cbText->setEditText(pattern);
        cbFindIn->clear();
        const GridColumns& columns = grid.columns();
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].visible)
                cbFindIn->addItem(columns[i].caption(), int(i));
        }
        cbFindIn->addItem(allColumns, -1);
        const int current = grid.currentColumn();
        const int chosen = current >= 0 && size_t(current) < columns.size()
                               ? cbFindIn->findText(columns[size_t(current)].caption(),
                                                    Qt::MatchExactly | Qt::MatchCaseSensitive)
                               : -1;
        cbFindIn->setCurrentIndex(chosen >= 0 ? chosen : cbFindIn->count() - 1);
    }
    cbText->setFocus();
    cbFindInChange();
}

void FindDialog::execFor(SearchedGrid& grid, const QString& pattern)
{
    openFor(grid, pattern);
    const QRect screenArea = screen()->availableGeometry();
    move(screenArea.center() - rect().center());
    exec();
}

void FindDialog::bFindClick()
{
    searchStep(QGuiApplication::keyboardModifiers().testFlag(Qt::ControlModifier));
}

void FindDialog::bCancelClick()
{
    reject();
}

void FindDialog::cbTextChange()
{
    m_search.restart(FindDirection(cbFindDirection->currentIndex()));
}

void FindDialog::cbFindInChange()
{
    std::vector<int> columns;
    const int chosen = cbFindIn->currentData().toInt();
    if (chosen >= 0) {
        columns.push_back(chosen);
    } else {
        for (int entry = 0; entry < cbFindIn->count(); ++entry) {
            const int column = cbFindIn->itemData(entry).toInt();
            if (column >= 0)
                columns.push_back(column);
        }
    }
    m_search.setSearchColumns(std::move(columns), FindDirection(cbFindDirection->currentIndex()));
}

FindOptions FindDialog::options() const
{
    return {cbText->currentText(), FindMatchType(cbMatchinType->currentIndex()),
            FindDirection(cbFindDirection->currentIndex()), cbCharCase->isChecked(),
            cbUseFormat->isChecked()};
}

void FindDialog::searchStep(bool reversed)
{
    const FindOptions find = options();
    if (cbText->findText(find.pattern, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        // The first entry of an empty list would otherwise set the edit text and restart.
        const QSignalBlocker blocker(cbText);
        cbText->addItem(find.pattern);
        cbText->setEditText(find.pattern);
    }
    if (!m_grid || m_search.searchColumns().empty())
        return;
    const Query* query = m_grid->dataSource();
    const std::optional<FindMatch> match
        = query ? m_search.step(find, reversed, m_grid->columns(), *query) : std::nullopt;
    if (match) {
        m_grid->moveToCell(match->row, match->makeColumnCurrent ? match->column : -1);
        return;
    }
    MessageRequest notFound;
    notFound.caption = m_programTitle;
    notFound.text = QStringLiteral("Строка \"%1\" не найдена.").arg(find.pattern);
    showMessage(notFound);
}

bool FindDialog::eventFilter(QObject* watched, QEvent* event)
{
    // Drop-down lists are windows of their own and keep their keys.
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::KeyPress && widget && widget->window() == this) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            searchStep(key->modifiers().testFlag(Qt::ControlModifier));
            return true;
        case Qt::Key_Escape:
            bCancel->click();
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace velmora
