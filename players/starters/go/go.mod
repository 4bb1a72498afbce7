module zarvostarter

go 1.19
