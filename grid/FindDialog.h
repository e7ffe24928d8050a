// The find dialog every grid opens on Ctrl+F: a pattern searched cell by cell, in one column or
// all of them, up or down, by three kinds of match. One dialog serves every grid for the whole
// run and keeps its pattern list and choices between openings.
#pragma once

#include "GridSearch.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace velmora {

class FindDialog : public QDialog {
    Q_OBJECT
public:
    /// `programTitle` captions the no-match message.
    explicit FindDialog(const QString& programTitle, QWidget* parent = nullptr);

    /// Prepares the dialog for `grid` without showing it: the pattern, the "Поиск в:" list of
    /// the grid's visible columns and "<All>" with the current column chosen, a first try.
    /// `grid` must stay alive while the dialog serves it.
    void openFor(SearchedGrid& grid, const QString& pattern);
    /// openFor(), then shows the dialog modally, centred on the screen; returns when it closes.
    void execFor(SearchedGrid& grid, const QString& pattern);

    /// One search step ("На&йти далее"); Ctrl held at this moment reverses the direction.
    void bFindClick();
    /// Closes the dialog ("Закрыть").
    void bCancelClick();

    QLabel* patternLabel = nullptr;
    QComboBox* cbText = nullptr;            // the pattern and the patterns searched for
    QLabel* searchInLabel = nullptr;
    QComboBox* cbFindIn = nullptr;          // a column, or "<All>"
    QLabel* matchTypeLabel = nullptr;
    QComboBox* cbMatchinType = nullptr;
    QLabel* directionLabel = nullptr;
    QComboBox* cbFindDirection = nullptr;
    QCheckBox* cbCharCase = nullptr;
    QCheckBox* cbUseFormat = nullptr;
    QPushButton* bFind = nullptr;
    QPushButton* bCancel = nullptr;

    /// The search's state: search columns, column position and first try.
    const FindSearch& search() const { return m_search; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    /// The pattern or the direction changed: a first try again.
    void cbTextChange();
    /// The column choice changed: new search columns.
    void cbFindInChange();
    void searchStep(bool reversed);
    FindOptions options() const;

    const QString m_programTitle;
    SearchedGrid* m_grid = nullptr;
    FindSearch m_search;
};

} // namespace velmora
