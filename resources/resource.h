// Resource IDs of the Win32 front end: the dialogs, the menu, the icon, the picker, About and
// station controls, and the page controls that the shared IDs name only by their first member.
#pragma once

#include "resources/control_ids.h"

// Dialogs, menu, icon
#define IDD_MAIN_WINDOW 142
#define IDD_PORT_PICKER 143
#define IDD_ABOUT 103
#define IDD_STATION 144
#define IDD_STATION_LOG 145
#define IDR_MAIN_MENU 109
#define IDI_TARNWICK 136

// Menu items of this program beyond those of control_ids.h
#define IDM_VERIFY 32790
#define IDM_STATION 32791

// Port picker
#define IDC_PICKER_LABEL 20000
#define IDC_PICKER_PORTS 20001
#define IDC_PICKER_REFRESH 20002
#define IDC_PICKER_OPEN 20003
#define IDC_PICKER_CANCEL 20004

// Station: the inputs, the run buttons, the bench and its lines
#define IDC_STATION_PROFILE 21001
#define IDC_STATION_PROFILE_BROWSE 21002
#define IDC_STATION_OVERRIDES 21003
#define IDC_STATION_OVERRIDES_BROWSE 21004
#define IDC_STATION_AUDIT 21005
#define IDC_STATION_AUDIT_BROWSE 21006
#define IDC_STATION_FIRMWARE 21007
#define IDC_STATION_WATCH 21008
#define IDC_STATION_RETRY 21009
#define IDC_STATION_START 21010
#define IDC_STATION_STOP 21011
#define IDC_STATION_RETRY_FAILED 21012
#define IDC_STATION_EXPORT 21013
#define IDC_STATION_PROFILE_LABEL 21014
#define IDC_STATION_OVERRIDES_LABEL 21015
#define IDC_STATION_AUDIT_LABEL 21016
#define IDC_STATION_FIRMWARE_LABEL 21017
#define IDC_STATION_LIST 21020
#define IDC_STATION_SUMMARY 21021
#define IDC_STATION_STATUS 21022

// Station: a row's log
#define IDC_STATION_LOG_TEXT 21030
#define IDC_STATION_LOG_OK 21031

// About
#define IDC_ABOUT_HEADER 10000
#define IDC_ABOUT_FW 10001
#define IDC_ABOUT_GSM 10002
#define IDC_ABOUT_LBLE 10003
#define IDC_ABOUT_GNSS 10004
#define IDC_ABOUT_WIFI 10005
#define IDC_ABOUT_XNB 10006
#define IDC_ABOUT_OK 10007

// Page 6: the SIZ rows 2 to 8 (label, edit, read, set), 4 IDs apart.
#define IDC_SIZ_2_LABEL 1504
#define IDC_SIZ_2 1505
#define IDC_SIZ_2_READ 1506
#define IDC_SIZ_2_SET 1507
#define IDC_SIZ_3_LABEL 1508
#define IDC_SIZ_3 1509
#define IDC_SIZ_3_READ 1510
#define IDC_SIZ_3_SET 1511
#define IDC_SIZ_4_LABEL 1512
#define IDC_SIZ_4 1513
#define IDC_SIZ_4_READ 1514
#define IDC_SIZ_4_SET 1515
#define IDC_SIZ_5_LABEL 1516
#define IDC_SIZ_5 1517
#define IDC_SIZ_5_READ 1518
#define IDC_SIZ_5_SET 1519
#define IDC_SIZ_6_LABEL 1520
#define IDC_SIZ_6 1521
#define IDC_SIZ_6_READ 1522
#define IDC_SIZ_6_SET 1523
#define IDC_SIZ_7_LABEL 1524
#define IDC_SIZ_7 1525
#define IDC_SIZ_7_READ 1526
#define IDC_SIZ_7_SET 1527
#define IDC_SIZ_8_LABEL 1528
#define IDC_SIZ_8 1529
#define IDC_SIZ_8_READ 1530
#define IDC_SIZ_8_SET 1531

// Page 10: the log-flag check boxes, in the order of their columns.
#define IDC_LOG_GSM_LL_RX 2007
#define IDC_LOG_GSM_LL_TX 2008
#define IDC_LOG_GSM 2009
#define IDC_LOG_WIFI_LL 2010
#define IDC_LOG_WIFI_LL_RX 2011
#define IDC_LOG_WIFI_LL_TX 2012
#define IDC_LOG_WIFI 2013
#define IDC_LOG_XNB_LL_RX 2030
#define IDC_LOG_XNB_LL_TX 2031
#define IDC_LOG_XNB 2032
#define IDC_LOG_LBLE_LL 2014
#define IDC_LOG_LBLE_LL_RX 2015
#define IDC_LOG_LBLE_LL_TX 2016
#define IDC_LOG_LBLE 2017
#define IDC_LOG_GNSS_LL 2018
#define IDC_LOG_GNSS_LL_RX 2019
#define IDC_LOG_GNSS_LL_TX 2020
#define IDC_LOG_GNSS 2021
#define IDC_LOG_BLE 2022
#define IDC_LOG_LORA 2023
#define IDC_LOG_SENS 2024
#define IDC_LOG_DISP 2025
