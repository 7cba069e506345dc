#include "cprojection.h"

#include "logtext.h"
#include "platformpaths.h"

#include <QString>

#include <cmath>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>

#include <log4cplus/log4cplus.h>

std::mutex projectionMutex;

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CrossLineData"));

namespace {

CProjection *projectionInstance = nullptr;

const std::string defaultDefinitionFileName = "dar_eravi6.txt";

// A definition line holds at most 511 characters before its line end (LF,
// or CR LF as files written on Windows end their lines). After a longer line
// the stream fails and every later line reads as empty. No more than the
// limit, a CR and the line feed are taken from the stream, whatever follows.
constexpr std::streamsize definitionLineLength = 511;

std::string readDefinitionLine(std::istream &stream)
{
    char buffer[definitionLineLength + 2]; // the line, its CR and the closing NUL
    stream.getline(buffer, sizeof buffer);
    std::size_t length = std::size_t(stream.gcount());
    // A line feed was taken when the stream neither failed nor ran out.
    if (length > 0 && stream.good())
        --length;
    std::string line(buffer, length);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > std::size_t(definitionLineLength)) {
        line.resize(std::size_t(definitionLineLength));
        stream.setstate(std::ios::failbit);
    }
    return line;
}

log4cplus::tstring logText(const std::string &text)
{
    return toLogText(QString::fromStdString(text));
}

} // namespace

CProjection *CProjection::instance()
{
    if (projectionInstance)
        return projectionInstance;

    auto *projection = new CProjection;
    const std::string searchPath = projResourceFolder().toStdString();
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("CProjection: PROJ resource folder ")
                                << logText(searchPath));
    {
        std::lock_guard<std::mutex> lock(projectionMutex);
        projection->context = proj_context_create();
        if (!projection->context)
            LOG4CPLUS_ERROR(logger,
                            LOG4CPLUS_TEXT("CProjection: no PROJ context could be created"));
        proj_log_func(projection->context, projection, &CProjection::recordProjMessage);
        const char *paths[] = {searchPath.c_str()};
        proj_context_set_search_paths(projection->context, 1, paths);
        // Opened here so that a database that cannot be used is told once.
        projection->projMessage.clear();
        if (!proj_context_get_database_path(projection->context))
            LOG4CPLUS_ERROR(logger, LOG4CPLUS_TEXT("CProjection: no PROJ resource database in ")
                                        << logText(searchPath)
                                        << logText(projection->projMessageText()));
    }
    projection->initDefaultProjection();
    projectionInstance = projection;
    return projectionInstance;
}

CProjection::~CProjection()
{
    std::lock_guard<std::mutex> lock(projectionMutex);
    proj_destroy(transformation);
    proj_context_destroy(context);
}

int CProjection::initDefaultProjection()
{
    const std::string path = programDataFolder().toStdString() + defaultDefinitionFileName;

    // Written only where nothing is; a folder that cannot be searched, a
    // FIFO or a link, to a file or to nothing, is left alone.
    if (!createFile(std::filesystem::u8path(path),
                    "<RUZ_Edudorivud>\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n")
        && holdsOtherThanAFile(QString::fromStdString(path)))
        LOG4CPLUS_WARN(logger, LOG4CPLUS_TEXT("CProjection: ")
                                   << logText(path)
                                   << LOG4CPLUS_TEXT(" is not a regular file; the default definition "
                                                     "is not written"));

    definitionFile = path;
    readProjectionFile(path);
    return createTransformation();
}

int CProjection::loadProjectionFile(const std::string &path)
{
    definitionFile = path;
    readProjectionFile(path);
    return createTransformation();
}

void CProjection::readProjectionFile(const std::string &path)
{
    const std::filesystem::path filePath = std::filesystem::u8path(path);
    // Anything but a regular file counts as missing: a FIFO would hold the
    // caller up for good, a device might never end.
    if (!isRegularFile(filePath))
        return;
    std::ifstream file(filePath);
    if (!file.is_open())
        return;
    readDefinitionLine(file); // tag, not used
    sourceCrs = readDefinitionLine(file);
    targetCrs = readDefinitionLine(file);
}

int CProjection::createTransformation()
{
    std::lock_guard<std::mutex> lock(projectionMutex);
    if (transformation) {
        proj_destroy(transformation);
        transformation = nullptr;
    }
    projMessage.clear();
    PJ *created = proj_create_crs_to_crs(context, sourceCrs.c_str(), targetCrs.c_str(), nullptr);
    PJ *normalised = created ? proj_normalize_for_visualization(context, created) : nullptr;
    proj_destroy(created);
    transformation = normalised;
    valid = normalised != nullptr;
    if (!valid)
        LOG4CPLUS_ERROR(logger, LOG4CPLUS_TEXT("CProjection: no transformation from \"")
                                    << logText(sourceCrs) << LOG4CPLUS_TEXT("\" to \"")
                                    << logText(targetCrs) << LOG4CPLUS_TEXT("\" (")
                                    << logText(definitionFile) << LOG4CPLUS_TEXT(")")
                                    << logText(projMessageText()));
    return valid ? 0 : -1;
}

void CProjection::recordProjMessage(void *projection, int, const char *message)
{
    // The first says most: later ones tell what failed because of it.
    std::string &recorded = static_cast<CProjection *>(projection)->projMessage;
    if (recorded.empty() && message)
        recorded = message;
}

std::string CProjection::projMessageText() const
{
    return projMessage.empty() ? std::string() : ": " + projMessage;
}

int CProjection::geographicToProjected(double latitude, double longitude,
                                       double *northing, double *easting)
{
    std::lock_guard<std::mutex> lock(projectionMutex);
    try {
        const PJ_COORD point = proj_coord(longitude, latitude, 0, 0);
        const PJ_COORD result = transformation ? proj_trans(transformation, PJ_FWD, point) : point;
        *northing = result.xy.y;
        *easting = result.xy.x;
        if (result.xy.x == HUGE_VAL && result.xy.y == HUGE_VAL)
            return -1;
        return 0;
    } catch (const std::exception &e) {
        std::cerr << "Exeption in proj " << e.what();
        return -1;
    }
}

int CProjection::projectedToGeographic(double northing, double easting,
                                       double *latitude, double *longitude)
{
    std::lock_guard<std::mutex> lock(projectionMutex);
    const PJ_COORD point = proj_coord(easting, northing, 0, 0);
    const PJ_COORD result = transformation ? proj_trans(transformation, PJ_INV, point) : point;
    *latitude = result.xy.y;
    *longitude = result.xy.x;
    return *latitude == HUGE_VAL ? -1 : 0;
}
