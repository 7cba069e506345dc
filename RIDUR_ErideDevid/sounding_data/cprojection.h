#pragma once
// Process-wide projection service over PROJ: one context and one
// transformation from the source CRS to the target CRS of a projection
// definition file. Geographic coordinates are degrees, projected ones
// centimetres of the target CRS. Every call into PROJ holds projectionMutex.
// A set-up that fails (context, resource database, transformation) is logged
// with PROJ's own message.
#include <mutex>
#include <string>

#include <proj.h>

// Serialises every call into PROJ, from any thread.
extern std::mutex projectionMutex;

class CProjection
{
public:
    // The single instance, created on first use (GUI thread) and never
    // destroyed. The first call writes the default definition file
    // "dar_eravi6.txt" into the program-data folder where nothing is (not
    // even a link) and loads it.
    static CProjection *instance();

    virtual ~CProjection();

    // Reads the CRS pair from lines 2 and 3 of the file (kept unchanged when
    // the file cannot be opened; at most 511 characters a line) and makes the
    // transformation again. 0 on success, -1 when PROJ cannot make it; the
    // conversions then pass points through unchanged.
    int loadProjectionFile(const std::string &path);

    // Latitude and longitude in degrees to northing and easting in
    // centimetres. -1 only when PROJ reports an error for the point (both
    // results HUGE_VAL), or when an exception is caught; the outputs are then
    // left as they were.
    int geographicToProjected(double latitude, double longitude,
                              double *northing, double *easting);

    // Northing and easting in centimetres to latitude and longitude in
    // degrees; both outputs are always written. -1 when PROJ reports an
    // error for the point.
    int projectedToGeographic(double northing, double easting,
                              double *latitude, double *longitude);

    CProjection(const CProjection &) = delete;
    CProjection &operator=(const CProjection &) = delete;

private:
    CProjection() = default;

    int initDefaultProjection();
    void readProjectionFile(const std::string &path);
    int createTransformation();

    // PROJ's log function: keeps PROJ's first error message since
    // projMessage was last cleared.
    static void recordProjMessage(void *projection, int level, const char *message);
    // ": " and that message, for a log line; empty when there is none.
    std::string projMessageText() const;

    PJ_CONTEXT *context = nullptr;
    PJ *transformation = nullptr;
    std::string definitionFile;
    bool valid = false;
    std::string sourceCrs;
    std::string targetCrs;
    std::string projMessage; // written by PROJ's calls, under projectionMutex
};
