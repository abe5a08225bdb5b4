// The maker's support contact, shown in the About box and in the failure message of an update.
#pragma once

#define CONTACT_PHONE "1-800-555-0142"
#define CONTACT_FAX "1-800-555-0143"
#define CONTACT_EMAIL "support@fenmoor.example"
#define CONTACT_WEB "www.fenmoor.example"
#define CONTACT_HOURS "8 AM - 5 PM CT, Mon - Fri"
#define CONTACT_POSTAL_BOX "P.O. Box 1142"
#define CONTACT_TOWN "Fenmoor, MN 55012"
