#pragma once
// The application's resource tree: ":/style.css", ":/Lato-Regular.ttf",
// ":/Lato-Bold.ttf", ":/MainIcon.ico" and ":/log4cplus_configureCalib.ini".
#include <QByteArray>
#include <QString>

// Registers the tree; call it once before the first ":/" path is used.
// Further calls do no harm.
void registerAppResources();

// The log file path written in ":/log4cplus_configureCalib.ini".
QString defaultLogFilePath();

// The default logging configuration with its log file path replaced by
// logFilePath, written as it is; empty when the resource cannot be read.
QByteArray defaultLogConfiguration(const QString &logFilePath);
