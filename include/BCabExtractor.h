#pragma once
#include "BStringVector.h"
#include "LogInterface.h"
#include "RWCString.h"
#include "RavelExport.h"
#include "fdi.h"

// Opens a cabinet, lists it, and extracts all of its files or a chosen subset into a directory,
// asking the caller where the next cabinet of a set is. Records begin with "ZEVAR: ".
class RAVELUTIL_API BCabExtractor : public LogInterface
{
public:
    // Called for each file offered for extraction with its stored name; true extracts it.
    typedef bool (*FileFilter)(RWCString fileName, void* filterData);
    // Called when the files continue into the next cabinet, with the next disk's name, the next
    // cabinet's name and the directory the engine would look in. True makes the engine look in
    // *newCabinetPath (at most 255 characters) instead; false abandons the extraction.
    typedef bool (*CabinetFinder)(RWCString diskName, RWCString cabinetName, RWCString cabinetPath,
                                  RWCString* newCabinetPath, void* finderData);

    BCabExtractor();
    // A copy carries every field but no decoding context (and so none of the stored notifications'
    // texts): the context belongs to the object that created it.
    BCabExtractor(const BCabExtractor& other);
    BCabExtractor& operator=(const BCabExtractor& other);
    virtual ~BCabExtractor();

    int initialize(RWCString cabinetPath);
    int uninitialize();
    int copy(RWCString destination, FileFilter filter, void* filterData, CabinetFinder finder, void* finderData);
    int copy(RWCString destination, BStringVector fileNames, CabinetFinder finder, void* finderData);

    // The notification handler used while listing; always 0.
    int outputNotification(FDINOTIFICATIONTYPE type, PFDINOTIFICATION notification);
    RWCString return_fdi_error_string(FDIERROR code);

    BStringVector& getContents();
    RWCString& getNextCabinetName();
    bool getNextCabinetExists();
    ERF& getErrorInfo();

    void printOutSummaryInfo();
    int printCabNotificationInfo();

private:
    bool destroyContext(); // true when there was none or the engine released it
    void takeFields(const BCabExtractor& other);

    HFDI m_hfdi;
    ERF m_erf;
    FDICABINETINFO m_cabinetInfo;
    RWCString m_cabinetFileName;
    RWCString m_cabinetDirectory;
    BStringVector m_contents;
    RWCString m_nextCabinetName;
    bool m_nextCabinetExists;
    FDINOTIFICATION m_cabinetInfoNotification;
    FDINOTIFICATION m_partialFileNotification;
    FDINOTIFICATION m_nextCabinetNotification;
};
