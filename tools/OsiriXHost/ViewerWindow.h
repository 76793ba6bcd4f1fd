#pragma once

#include <QMainWindow>

class BrowserController;
class PluginManager;
class QLabel;
class QListWidget;
class ViewerController;

// The viewer's window: the image on show with its patient and study, a
// Plugins menu, and the files the database has imported.
class ViewerWindow : public QMainWindow
{
    Q_OBJECT

public:
    ViewerWindow(ViewerController *viewer, BrowserController *browser, PluginManager *plugins,
        QWidget *parent = nullptr);

private:
    void createPluginsMenu();
    void showCurrentImage();
    void onFileImported(const QString &path);

    ViewerController *m_viewer;
    PluginManager *m_plugins;
    QLabel *m_image;
    QLabel *m_patient;
    QListWidget *m_imported;
};
