# Precompiled headers: the Qt (and GoogleTest) headers that most of a target's files include,
# compiled once per target with its own definitions instead of once per file.
#   ostrel_precompile(TARGET [WEB] [TESTS])   WEB adds Qt WebEngine's, TESTS GoogleTest's
# OSTREL_PRECOMPILE=OFF builds without them (to time the difference, or to find a missing include).
option(OSTREL_PRECOMPILE "Precompile the Qt headers of each target" ON)
function(ostrel_precompile target)
    if(NOT OSTREL_PRECOMPILE)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 1 with "WEB;TESTS" "" "")
    set(headers <QtCore/QString> <QtCore/QList> <QtCore/QObject> <QtCore/QUrl> <QtCore/QTimer>
        <QtCore/QDir> <QtCore/QFile> <QtGui/QPainter> <QtWidgets/QApplication> <QtWidgets/QWidget>
        <QtWidgets/QLabel> <QtWidgets/QPushButton>)
    if(with_WEB)
        list(APPEND headers <QtWebEngineCore/QWebEnginePage> <QtWebEngineCore/QWebEngineProfile>
            <QtWebEngineWidgets/QWebEngineView>)
    endif()
    if(with_TESTS)
        list(APPEND headers <gtest/gtest.h>)
    endif()
    target_precompile_headers(${target} PRIVATE ${headers})
endfunction()
