#pragma once

#include <QWidget>

class CatalogueFilter;
class CatalogueStore;
class ListDocument;
class Prompter;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The page "Effekte": the user's catalogue as a table, edited in place, with how many shots of the list
// in the editor use each article and where the list needs more than the stock. The page owns its
// widgets and wires them to the store's model; the catalogue itself lives in the store.
class EffectsPage : public QWidget {
    Q_OBJECT
public:
    EffectsPage(ListDocument& document, Prompter& prompter, CatalogueStore& store, QWidget* parent = nullptr);

    // Tells the user, once, that the catalogue file could not be read at start (a box); the page shows
    // it below the table as well.
    void tellLoadProblem();
    // The window's boxes, when the window is given other ones.
    void setPrompter(Prompter* prompter) { m_prompter = prompter; }

    QTableView* view() const { return m_view; }
    CatalogueFilter* filter() const { return m_filter; }

private:
    void buildWidgets();
    void wire();
    void addEffect();
    void deleteSelected();
    void importCatalogue();
    void exportCatalogue();
    void applyFilters();
    void clearFilters();
    void listChanged();
    void showMessage(const QString& text, bool problem);
    void updateStockLabel();

    ListDocument& m_document;
    Prompter* m_prompter;
    CatalogueStore& m_store;
    CatalogueFilter* m_filter;
    bool m_loadProblemTold = false;
    bool m_lastWriteFailed = false;

    QLineEdit* m_nameFilter = nullptr;
    QComboBox* m_artFilter = nullptr;
    QComboBox* m_classFilter = nullptr;
    QTableView* m_view = nullptr;
    QPushButton* m_newButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_undoButton = nullptr;
    QPushButton* m_redoButton = nullptr;
    QPushButton* m_importButton = nullptr;
    QPushButton* m_exportButton = nullptr;
    QLabel* m_messageLabel = nullptr;
    QLabel* m_stockLabel = nullptr;
};
