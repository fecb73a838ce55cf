#include "app/win32/window_texts.h"

const WindowTexts kEnglishTexts = {
    .pages = {L"General", L"Voice", L"Data", L"LoRa", L"WiFi", L"XNB", L"BLE", L"Sensors (int.)",
              L"Sensors (ext.)", L"GNSS", L"Service"},
    .openProfileTitle = L"Open profile",
    .saveProfileTitle = L"Save profile",
    .stationColumns = {L"Port", L"IMEI", L"Device ID", L"Step", L"Progress", L"Time, s", L"Result",
                       L"Error"},
    .rowStates = {L"in progress", L"provisioned", L"differs", L"failed", L"refused", L"unplugged",
                  L"interrupted"},
    .passSteps = {L"Connect", L"Identify", L"Write", L"Verify", L"Disconnect"},
    .countLabels = {L"Provisioned: ", L"Differs: ", L"Failed: ", L"Refused: ", L"Unplugged: ",
                    L"In progress: "},
    .overridesTitle = L"Per-device values",
    .auditTitle = L"Audit file",
    .exportTitle = L"Export CSV",
    .firmwareNotDotted =
        L"Min. firmware version: numbers separated by dots, such as 2.7.1, not \"{}\"",
    .noProfile = L"Choose a profile file",
    .auditNameNotInCodePage =
        L"Audit file {}: the name cannot be written in the system's code page",
    .waitingForTrackers = L"Waiting for trackers; \"Stop\" ends the run",
    .provisioning = L"Provisioning",
    .auditWarning = L" (warning: {})",
    .noPortToTake = L"No port to take; nothing was provisioned",
    .stoppedSummary = L"Stopped: {}",
    .doneSummary = L"Done: {}",
    .auditIncomplete = L"; the audit file was not written in full",
    .stopping = L"Stopping: exchanges in progress finish, trackers are disconnected",
    .stopAndClose = L"Provisioning is in progress. Stop it and close the window?",
    .stationCaption = L"Station",
    .csvSaved = L"CSV saved: {}",
};
