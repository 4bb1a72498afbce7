module zarvobot

go 1.19
