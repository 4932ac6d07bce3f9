       01 CUSTOMER.
           05 CUSTNO      PIC 9(5).
           05 NAME    PIC .
