      * a customer record
       01 CUSTOMER.
           05 CUSTNO      PIC 9(5).
           05 NAME        PIC X(6).
           05 AMOUNT      PIC S9(5)V99 COMP-3 SYNC.
           05 FILLER      PIC X(3).
